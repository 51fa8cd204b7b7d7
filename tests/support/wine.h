#ifndef QUENLARK_TESTS_WINE_H
#define QUENLARK_TESTS_WINE_H

// Whether a test program runs under Wine, which differs from Windows in a few
// details that tests allow for, each saying which. Header alone, on kernel32,
// for every set: the ARM64 one has no C++ runtime.
#include <windows.h>
#include <string.h>

static inline FARPROC WineGetVersionAddress()
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != NULL ? GetProcAddress(ntdll, "wine_get_version") : NULL;
}

static inline bool RunningUnderWine()
{
    return WineGetVersionAddress() != NULL;
}

// Wine's version ("10.0"), or NULL on Windows. Copied, not cast: clang 19
// refuses a cast between function types (-Wcast-function-type-strict).
static inline const char* WineVersion()
{
    typedef const char*(CDECL * WineGetVersionFunction)();
    FARPROC address = WineGetVersionAddress();
    if (address == NULL)
        return NULL;
    WineGetVersionFunction wineGetVersion;
    memcpy(&wineGetVersion, &address, sizeof wineGetVersion);
    return wineGetVersion();
}

#endif
