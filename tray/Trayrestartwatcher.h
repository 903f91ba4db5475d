#pragma once

#include <QAbstractNativeEventFilter>
#include <QtGlobal>

#include <functional>

// Tells when the desktop's notification area has (re)started and icons must be put back:
// on Windows the system-wide "TaskbarCreated" message, on X11 a tray manager taking the
// tray selection. Elsewhere it never fires.
class TrayRestartWatcher final : public QAbstractNativeEventFilter
{
public:
    explicit TrayRestartWatcher(std::function<void()> onRestart);
    ~TrayRestartWatcher() override;
    TrayRestartWatcher(const TrayRestartWatcher&) = delete;
    TrayRestartWatcher& operator=(const TrayRestartWatcher&) = delete;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

    // The message (Windows) or atom (X11) that announces a restart; 0 when there is none.
    quint32 restartMessage() const { return m_restartMessage; }

private:
    std::function<void()> m_onRestart;
    quint32 m_restartMessage = 0;
    quint32 m_trayAtom = 0;
};
