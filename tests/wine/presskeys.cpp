// Presses media keys as a keyboard does, for the end-to-end run under wine: xdotool's keys
// reach a wine program only while one of its windows has the focus; these reach hot keys.
// Wine takes input only while it has a foreground window, so the helper shows a tiny one of
// its own first: the program's window may well be hidden.
// Usage: presskeys KEY... (play-pause, stop, next, prev)
#include <windows.h>

#include <cstring>

namespace {

void pumpUntil(HWND window, DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds && GetForegroundWindow() != window) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
        Sleep(10);
    }
}

} // namespace

int main(int argc, char* argv[])
{
    const struct
    {
        const char* name;
        WORD key;
    } keys[] = {{"play-pause", VK_MEDIA_PLAY_PAUSE},
                {"stop", VK_MEDIA_STOP},
                {"next", VK_MEDIA_NEXT_TRACK},
                {"prev", VK_MEDIA_PREV_TRACK}};
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"presskeys";
    RegisterClassExW(&windowClass);
    const HWND window =
        CreateWindowExW(WS_EX_TOPMOST, L"presskeys", L"presskeys", WS_POPUP | WS_VISIBLE, 0, 0, 8,
                        8, nullptr, nullptr, windowClass.hInstance, nullptr);
    SetForegroundWindow(window);
    pumpUntil(window, 5000);
    for (int i = 1; i < argc; ++i) {
        WORD key = 0;
        for (const auto& known : keys) {
            key = std::strcmp(argv[i], known.name) == 0 ? known.key : key;
        }
        INPUT press[2]{};
        for (INPUT& input : press) {
            input.type = INPUT_KEYBOARD;
            input.ki.wVk = key;
            input.ki.dwFlags = KEYEVENTF_EXTENDEDKEY;
        }
        press[1].ki.dwFlags |= KEYEVENTF_KEYUP;
        if (key == 0 || SendInput(2, press, sizeof(INPUT)) != 2) {
            return 1;
        }
    }
    return 0;
}
