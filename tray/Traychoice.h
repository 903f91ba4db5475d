#pragma once

#include <QObject>

class QThread;

// Qt's own choice between a StatusNotifierItem host and the platform's tray, made on a thread
// of its own. Qt makes it the first time anything asks about icons, asking the session bus's
// watcher and waiting up to 25 s for each of two answers, and keeps it for the rest of the
// run: made here, the window's thread never waits for it, and every icon made after finds it
// made.
class TrayChoice final : public QObject
{
    Q_OBJECT

public:
    explicit TrayChoice(QObject* parent = nullptr);
    ~TrayChoice() override;
    TrayChoice(const TrayChoice&) = delete;
    TrayChoice& operator=(const TrayChoice&) = delete;

    bool isMade() const { return m_made; }
    bool isMaking() const { return m_thread != nullptr; }
    // Starts it unless it is made or being made. Nothing may make or ask about an icon until
    // made() has come: Qt keeps the choice in plain flags of its own.
    void make();

Q_SIGNALS:
    void made();

private:
    void onFinished();

    // Owned, but never deleted while it runs (Qt would abort the program): one still waiting
    // for a hung watcher when the program ends is left to the end of the process.
    QThread* m_thread = nullptr;
    bool m_made = false;
};
