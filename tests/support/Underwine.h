#pragma once

#ifdef _WIN32
#include <windows.h>
#endif

// Whether this Windows program runs under wine, which answers for Windows' fonts with faces of
// its own (or none): text measured there says nothing of how it lies on Windows.
inline bool runsUnderWine()
{
#ifdef _WIN32
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
#else
    return false;
#endif
}
