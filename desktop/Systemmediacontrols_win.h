#pragma once

#include <QLoggingCategory>
#include <QString>

#include <memory>

#include <windows.h>

Q_DECLARE_LOGGING_CATEGORY(lcMediaKeys)

struct SmtcControls;
struct SmtcDisplayUpdater;

// Windows' System Media Transport Controls for one window of the program: its entry in the
// media flyout, whose buttons (and the keyboard's media keys, which the system routes to it)
// are posted to that window as a message. Every call is checked; a step the system refuses
// leaves the entry as it was.
class SystemMediaControls final
{
public:
    // The controls for the window, or null where the system has none that deliver buttons
    // (before Windows 10, and wine, which has no such class or one that never calls back).
    // A button arrives as buttonMessage with the MediaButton as WPARAM.
    static std::unique_ptr<SystemMediaControls> attach(HWND window, UINT buttonMessage);
    ~SystemMediaControls();
    SystemMediaControls(const SystemMediaControls&) = delete;
    SystemMediaControls& operator=(const SystemMediaControls&) = delete;

    void show(const QString& title, bool playing, bool buttonsEnabled);

private:
    explicit SystemMediaControls(SmtcControls* controls) : m_controls(controls) {}
    bool listen(HWND window, UINT buttonMessage);

    SmtcControls* m_controls; // owned: one reference
    SmtcDisplayUpdater* m_display = nullptr;
    bool m_listening = false;
    long long m_token = 0;
};
