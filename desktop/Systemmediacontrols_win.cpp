#include "Systemmediacontrols_win.h"

#include "Playercommands.h"

#include <atomic>
#include <optional>

#include <eventtoken.h>
#include <hstring.h>
#include <inspectable.h>

// mingw-w64 declares none of these: they are written out from their documented identifiers
// and method order, in the plain COM form (C++/WinRT is not used).
struct SmtcInterop : IInspectable
{
    virtual HRESULT STDMETHODCALLTYPE GetForWindow(HWND window, REFIID iid, void** controls) = 0;
};

struct SmtcButtonArgs : IInspectable
{
    virtual HRESULT STDMETHODCALLTYPE get_Button(int* button) = 0;
};

// TypedEventHandler<SystemMediaTransportControls, ...ButtonPressedEventArgs>.
struct SmtcButtonHandler : IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE Invoke(IInspectable* sender, IInspectable* args) = 0;
};

struct SmtcMusicProperties : IInspectable
{
    virtual HRESULT STDMETHODCALLTYPE get_Title(HSTRING* title) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Title(HSTRING title) = 0;
};

struct SmtcDisplayUpdater : IInspectable
{
    virtual HRESULT STDMETHODCALLTYPE get_Type(int* type) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Type(int type) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_AppMediaId(HSTRING* id) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_AppMediaId(HSTRING id) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Thumbnail(IInspectable** picture) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Thumbnail(IInspectable* picture) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_MusicProperties(SmtcMusicProperties** music) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_VideoProperties(IInspectable** video) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ImageProperties(IInspectable** image) = 0;
    virtual HRESULT STDMETHODCALLTYPE CopyFromFileAsync(int type, IInspectable* file,
                                                        IInspectable** operation) = 0;
    virtual HRESULT STDMETHODCALLTYPE ClearAll() = 0;
    virtual HRESULT STDMETHODCALLTYPE Update() = 0;
};

struct SmtcControls : IInspectable
{
    virtual HRESULT STDMETHODCALLTYPE get_PlaybackStatus(int* status) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_PlaybackStatus(int status) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_DisplayUpdater(SmtcDisplayUpdater** display) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_SoundLevel(int* level) = 0;
    // Enabled, then the buttons Play, Stop, Pause, Record, FastForward, Rewind, Previous,
    // Next, ChannelUp and ChannelDown, each read and written.
    virtual HRESULT STDMETHODCALLTYPE get_IsEnabled(boolean* on) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsEnabled(boolean on) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsPlayEnabled(boolean* on) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsPlayEnabled(boolean on) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsStopEnabled(boolean* on) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsStopEnabled(boolean on) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsPauseEnabled(boolean* on) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsPauseEnabled(boolean on) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsRecordEnabled(boolean* on) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsRecordEnabled(boolean on) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsFastForwardEnabled(boolean* on) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsFastForwardEnabled(boolean on) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsRewindEnabled(boolean* on) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsRewindEnabled(boolean on) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsPreviousEnabled(boolean* on) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsPreviousEnabled(boolean on) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsNextEnabled(boolean* on) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsNextEnabled(boolean on) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsChannelUpEnabled(boolean* on) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsChannelUpEnabled(boolean on) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsChannelDownEnabled(boolean* on) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsChannelDownEnabled(boolean on) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_ButtonPressed(SmtcButtonHandler* handler,
                                                        EventRegistrationToken* token) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_ButtonPressed(EventRegistrationToken token) = 0;
};

namespace {

constexpr GUID InteropId{
    0xddb0472d, 0xc911, 0x4a1f, {0x86, 0xd9, 0xdc, 0x3d, 0x71, 0xa9, 0x5f, 0x5a}};
constexpr GUID ControlsId{
    0x99fa3ff4, 0x1742, 0x42a6, {0x90, 0x2e, 0x08, 0x7d, 0x41, 0xf9, 0x65, 0xec}};
constexpr GUID ButtonArgsId{
    0xb7f47116, 0xa56f, 0x4dc8, {0x9e, 0x11, 0x92, 0x03, 0x1f, 0x4a, 0x87, 0xc2}};
constexpr GUID ButtonHandlerId{
    0x0557e996, 0x7b23, 0x5bae, {0xaa, 0x81, 0xea, 0x0d, 0x67, 0x11, 0x43, 0xa4}};
constexpr GUID UnknownId{
    0x00000000, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID AgileObjectId{
    0x94ea2b94, 0xe9cc, 0x49e0, {0xc0, 0xff, 0xee, 0x64, 0xca, 0x8f, 0x5b, 0x90}};

// Values of the system's enumerations.
constexpr int StatusStopped = 2;
constexpr int StatusPlaying = 3;
constexpr int TypeMusic = 1;

std::optional<MediaButton> buttonFor(int systemButton)
{
    switch (systemButton) {
    case 0:
        return MediaButton::Play;
    case 1:
        return MediaButton::Pause;
    case 2:
        return MediaButton::Stop;
    case 6:
        return MediaButton::Next;
    case 7:
        return MediaButton::Previous;
    default:
        return std::nullopt;
    }
}

// Looked up at run time: a system without them still starts the program, with the hot keys.
struct WinRt
{
    HRESULT(WINAPI* getFactory)(HSTRING, REFIID, void**) = nullptr;
    HRESULT(WINAPI* createString)(const wchar_t*, UINT32, HSTRING*) = nullptr;
    HRESULT(WINAPI* deleteString)(HSTRING) = nullptr;
};

template <typename Function> void lookUp(HMODULE module, const char* name, Function& function)
{
    // Through the one function type every other converts from without a warning.
    function = reinterpret_cast<Function>(
        reinterpret_cast<void (*)()>(module ? GetProcAddress(module, name) : nullptr));
}

const WinRt* winRt()
{
    static const WinRt functions = [] {
        // From the system's own folder only: never a combase.dll planted beside the program.
        const HMODULE module =
            LoadLibraryExW(L"combase.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        WinRt found;
        lookUp(module, "RoGetActivationFactory", found.getFactory);
        lookUp(module, "WindowsCreateString", found.createString);
        lookUp(module, "WindowsDeleteString", found.deleteString);
        return found;
    }();
    const bool complete = functions.getFactory && functions.createString && functions.deleteString;
    return complete ? &functions : nullptr;
}

class HString final
{
public:
    HString(const WinRt& winRt, const QString& text) : m_winRt(winRt)
    {
        const auto wide = reinterpret_cast<const wchar_t*>(text.utf16());
        if (FAILED(winRt.createString(wide, UINT32(text.size()), &m_string))) {
            m_string = nullptr;
        }
    }
    ~HString()
    {
        if (m_string) {
            m_winRt.deleteString(m_string);
        }
    }
    HString(const HString&) = delete;
    HString& operator=(const HString&) = delete;

    // The empty text is a null string, and a valid one.
    HSTRING get() const { return m_string; }

private:
    const WinRt& m_winRt;
    HSTRING m_string = nullptr;
};

// Called by the system on a thread of its own: it only posts the button to the window, which
// hands it on in the GUI thread. Agile, so the system calls it as it is.
class ButtonHandler final : public SmtcButtonHandler
{
public:
    ButtonHandler(HWND window, UINT message) : m_window(window), m_message(message) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object) {
            return E_POINTER;
        }
        if (IsEqualGUID(iid, UnknownId) || IsEqualGUID(iid, ButtonHandlerId) ||
            IsEqualGUID(iid, AgileObjectId)) {
            *object = static_cast<SmtcButtonHandler*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --m_references;
        if (left == 0) {
            delete this;
        }
        return left;
    }
    HRESULT STDMETHODCALLTYPE Invoke(IInspectable* /*sender*/, IInspectable* args) override
    {
        SmtcButtonArgs* pressed = nullptr;
        if (!args ||
            FAILED(args->QueryInterface(ButtonArgsId, reinterpret_cast<void**>(&pressed))) ||
            !pressed) {
            return S_OK;
        }
        int systemButton = -1;
        const HRESULT read = pressed->get_Button(&systemButton);
        pressed->Release();
        const auto button = SUCCEEDED(read) ? buttonFor(systemButton) : std::nullopt;
        if (button) {
            PostMessageW(m_window, m_message, WPARAM(*button), 0);
        }
        return S_OK;
    }

private:
    ~ButtonHandler() = default;

    const HWND m_window;
    const UINT m_message;
    std::atomic<ULONG> m_references{1};
};

bool runsUnderWine()
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

void note(const char* step, HRESULT result)
{
    qCInfo(lcMediaKeys, "system media controls: %s failed (0x%08lx)", step, ulong(result));
}

} // namespace

std::unique_ptr<SystemMediaControls> SystemMediaControls::attach(HWND window, UINT buttonMessage)
{
    const WinRt* functions = winRt();
    if (!functions) {
        qCInfo(lcMediaKeys, "system media controls: no Windows Runtime here");
        return nullptr;
    }
    const HString name(*functions, QStringLiteral("Windows.Media.SystemMediaTransportControls"));
    SmtcInterop* interop = nullptr;
    HRESULT result = name.get() ? functions->getFactory(name.get(), InteropId,
                                                        reinterpret_cast<void**>(&interop))
                                : E_OUTOFMEMORY;
    if (FAILED(result) || !interop) {
        note("the class", result);
        return nullptr;
    }
    SmtcControls* controls = nullptr;
    result = interop->GetForWindow(window, ControlsId, reinterpret_cast<void**>(&controls));
    interop->Release();
    if (FAILED(result) || !controls) {
        note("GetForWindow", result);
        return nullptr;
    }
    std::unique_ptr<SystemMediaControls> made(new SystemMediaControls(controls));
    // Wine answers every call and never presses a button: the hot keys serve better there.
    if (runsUnderWine()) {
        qCInfo(lcMediaKeys, "system media controls: inert under wine");
        return nullptr;
    }
    return made->listen(window, buttonMessage) ? std::move(made) : nullptr;
}

bool SystemMediaControls::listen(HWND window, UINT buttonMessage)
{
    HRESULT result = m_controls->put_IsEnabled(true);
    if (SUCCEEDED(result)) {
        result = m_controls->put_PlaybackStatus(StatusStopped);
    }
    if (FAILED(result)) {
        note("enabling", result);
        return false;
    }
    auto* handler = new ButtonHandler(window, buttonMessage);
    EventRegistrationToken token{};
    result = m_controls->add_ButtonPressed(handler, &token);
    handler->Release(); // the controls keep their own reference
    if (FAILED(result)) {
        note("add_ButtonPressed", result);
        return false;
    }
    m_listening = true;
    m_token = token.value;
    // Without a display the buttons still work; the flyout then shows no title.
    result = m_controls->get_DisplayUpdater(&m_display);
    if (FAILED(result) || !m_display) {
        m_display = nullptr;
        note("get_DisplayUpdater", result);
    } else if (FAILED(result = m_display->put_Type(TypeMusic))) {
        note("put_Type", result);
    }
    return true;
}

SystemMediaControls::~SystemMediaControls()
{
    if (m_display) {
        m_display->Release();
    }
    if (m_listening) {
        m_controls->remove_ButtonPressed(EventRegistrationToken{m_token});
    }
    // Also after a failed start, which may have left the entry on.
    m_controls->put_IsEnabled(false);
    m_controls->Release();
}

void SystemMediaControls::show(const QString& title, bool playing, bool buttonsEnabled)
{
    m_controls->put_PlaybackStatus(playing ? StatusPlaying : StatusStopped);
    m_controls->put_IsPlayEnabled(buttonsEnabled);
    m_controls->put_IsPauseEnabled(buttonsEnabled);
    m_controls->put_IsStopEnabled(buttonsEnabled);
    m_controls->put_IsNextEnabled(buttonsEnabled);
    m_controls->put_IsPreviousEnabled(buttonsEnabled);
    const WinRt* functions = winRt();
    SmtcMusicProperties* music = nullptr;
    if (!m_display || !functions || FAILED(m_display->get_MusicProperties(&music)) || !music) {
        return;
    }
    const HString text(*functions, title);
    music->put_Title(text.get());
    music->Release();
    const HRESULT result = m_display->Update();
    if (FAILED(result)) {
        note("Update", result);
    }
}
