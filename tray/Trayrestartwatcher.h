#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QtGlobal>

#include <functional>

// Tells when a notification area has appeared or restarted and icons must be put (back)
// there: on Windows the system-wide "TaskbarCreated" message, elsewhere what TrayHosts learns
// (a tray manager taking the X11 tray selection, a StatusNotifierItem watcher answering that a
// host has registered). The notice comes from the event loop, and never after the watcher is
// gone.
class TrayRestartWatcher final : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    explicit TrayRestartWatcher(std::function<void()> onRestart);
    ~TrayRestartWatcher() override;
    TrayRestartWatcher(const TrayRestartWatcher&) = delete;
    TrayRestartWatcher& operator=(const TrayRestartWatcher&) = delete;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private Q_SLOTS:
    void onHostAppeared();

private:
    std::function<void()> m_onRestart;
    // The message that announces a restart of the Windows notification area; 0 elsewhere.
    quint32 m_restartMessage = 0;
};
