#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a normal QCoreApplication::quit(), so a script
// that starts the server in the background can end it with kill and still have
// sockets closed in order. Where POSIX signals are missing it does nothing and
// the default handling applies.
class QuitSignal final : public QObject
{
    Q_OBJECT

public:
    explicit QuitSignal(QObject* parent = nullptr);
    ~QuitSignal() override;

    QuitSignal(const QuitSignal&) = delete;
    QuitSignal& operator=(const QuitSignal&) = delete;

    // False when the handlers could not be installed.
    bool isActive() const { return m_notifier != nullptr; }

private:
    void onSignalled();

    std::unique_ptr<QSocketNotifier> m_notifier;
};
