#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QtGlobal>

#include <functional>

// Tells when a notification area has appeared or restarted and icons must be put (back)
// there: on Windows the system-wide "TaskbarCreated" message, on X11 a tray manager taking
// the tray selection, on a D-Bus session a StatusNotifierItem watcher appearing or a host
// registering with it. The notice comes from the event loop, and never after the watcher is
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
    // The message (Windows) or atom (X11) that announces a restart; 0 when there is none.
    quint32 m_restartMessage = 0;
    quint32 m_trayAtom = 0;
};
