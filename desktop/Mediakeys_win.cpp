#include "Mediakeys_win.h"

#include "Systemmediacontrols_win.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>

#include <array>
#include <optional>
#include <vector>

// Quiet unless asked for (QT_LOGGING_RULES=brindora.mediakeys.info=true): which path was
// taken, and why.
Q_LOGGING_CATEGORY(lcMediaKeys, "brindora.mediakeys", QtWarningMsg)

namespace {

// A button from the system's media controls, posted from the thread they call back on.
constexpr UINT ButtonMessage = WM_APP + 1;
constexpr wchar_t WindowClass[] = L"BrindoraMediaKeys";

struct HotKey
{
    int id;
    UINT key;
    MediaButton button;
};
constexpr std::array<HotKey, 4> HotKeys{{{1, VK_MEDIA_PLAY_PAUSE, MediaButton::PlayPause},
                                         {2, VK_MEDIA_STOP, MediaButton::Stop},
                                         {3, VK_MEDIA_NEXT_TRACK, MediaButton::Next},
                                         {4, VK_MEDIA_PREV_TRACK, MediaButton::Previous}}};

std::optional<MediaButton> buttonForAppCommand(int command)
{
    switch (command) {
    case APPCOMMAND_MEDIA_PLAY_PAUSE:
        return MediaButton::PlayPause;
    case APPCOMMAND_MEDIA_PLAY:
        return MediaButton::Play;
    case APPCOMMAND_MEDIA_PAUSE:
        return MediaButton::Pause;
    case APPCOMMAND_MEDIA_STOP:
        return MediaButton::Stop;
    case APPCOMMAND_MEDIA_NEXTTRACK:
        return MediaButton::Next;
    case APPCOMMAND_MEDIA_PREVIOUSTRACK:
        return MediaButton::Previous;
    default:
        return std::nullopt;
    }
}

} // namespace

// A hidden window of its own receives the hot keys and the flyout's buttons, in every event
// loop the GUI thread runs (a menu's or a move's too); the program's own windows are watched
// for WM_APPCOMMAND through Qt.
struct WindowsMediaKeys::Parts final : QAbstractNativeEventFilter
{
    explicit Parts(std::function<void(MediaButton)> press);
    ~Parts() override;
    Parts(const Parts&) = delete;
    Parts& operator=(const Parts&) = delete;

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr* result) override;
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM w, LPARAM l);
    bool makeWindow();
    void registerHotKeys();

    const std::function<void(MediaButton)> press;
    HWND window = nullptr;
    std::unique_ptr<SystemMediaControls> controls;
    std::vector<int> registered;
};

WindowsMediaKeys::Parts::Parts(std::function<void(MediaButton)> press) : press(std::move(press))
{
    if (QCoreApplication* application = QCoreApplication::instance()) {
        application->installNativeEventFilter(this);
    }
    if (!makeWindow()) {
        qCInfo(lcMediaKeys, "no window for the media keys (error %lu)", GetLastError());
        return;
    }
    controls = SystemMediaControls::attach(window, ButtonMessage);
    if (controls) {
        qCInfo(lcMediaKeys, "media keys through the system media controls");
    } else {
        registerHotKeys();
    }
}

WindowsMediaKeys::Parts::~Parts()
{
    if (QCoreApplication* application = QCoreApplication::instance()) {
        application->removeNativeEventFilter(this);
    }
    controls.reset();
    for (int id : registered) {
        UnregisterHotKey(window, id);
    }
    if (window) {
        DestroyWindow(window);
    }
}

bool WindowsMediaKeys::Parts::makeWindow()
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = WindowClass;
    if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return false;
    }
    // A top-level window that is never shown: the media controls take one of those, and a
    // tool window stays out of the task bar should anything show it.
    window = CreateWindowExW(WS_EX_TOOLWINDOW, WindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                             nullptr, instance, this);
    return window != nullptr;
}

void WindowsMediaKeys::Parts::registerHotKeys()
{
    for (const HotKey& key : HotKeys) {
        // A key another program holds stays with it.
        if (RegisterHotKey(window, key.id, MOD_NOREPEAT, key.key)) {
            registered.push_back(key.id);
        } else {
            qCInfo(lcMediaKeys, "media key %#x not taken (error %lu)", key.key, GetLastError());
        }
    }
    qCInfo(lcMediaKeys, "media keys as hot keys: %d of 4", int(registered.size()));
}

LRESULT CALLBACK WindowsMediaKeys::Parts::windowProcedure(HWND window, UINT message, WPARAM w,
                                                          LPARAM l)
{
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(l);
        SetWindowLongPtrW(window, GWLP_USERDATA, LONG_PTR(creation->lpCreateParams));
    }
    const auto* parts = reinterpret_cast<const Parts*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (parts && message == WM_HOTKEY) {
        for (const HotKey& key : HotKeys) {
            if (WPARAM(key.id) == w) {
                parts->press(key.button);
            }
        }
        return 0;
    }
    if (parts && message == ButtonMessage) {
        if (w <= WPARAM(MediaButton::Previous)) {
            parts->press(MediaButton(w));
        }
        return 0;
    }
    return DefWindowProcW(window, message, w, l);
}

bool WindowsMediaKeys::Parts::nativeEventFilter(const QByteArray& type, void* message,
                                                qintptr* result)
{
    const auto* msg = static_cast<const MSG*>(message);
    if (type != "windows_generic_MSG" || !msg || msg->message != WM_APPCOMMAND) {
        return false;
    }
    const auto button = buttonForAppCommand(GET_APPCOMMAND_LPARAM(msg->lParam));
    if (!button) {
        return false;
    }
    press(*button);
    // Handled: the system then gives it to no other player.
    if (result) {
        *result = TRUE;
    }
    return true;
}

WindowsMediaKeys::WindowsMediaKeys(std::function<void(MediaButton)> press)
    : m_parts(std::make_unique<Parts>(std::move(press)))
{
}

WindowsMediaKeys::~WindowsMediaKeys() = default;

WindowsMediaKeys::Path WindowsMediaKeys::path() const
{
    return m_parts->controls ? Path::SystemControls : Path::HotKeys;
}

void WindowsMediaKeys::show(const QString& title, bool playing, bool buttonsEnabled)
{
    if (m_parts->controls) {
        m_parts->controls->show(title, playing, buttonsEnabled);
    }
}
