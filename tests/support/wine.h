#ifndef QUENLARK_TESTS_WINE_H
#define QUENLARK_TESTS_WINE_H

// Whether a test program runs under Wine, which differs from Windows in a few
// details that tests allow for, each saying which. Header alone, on kernel32,
// for every set: the ARM64 one has no C++ runtime.
#include <windows.h>

// Wine's version ("10.0"), or NULL on Windows.
static inline const char* WineVersion()
{
    typedef const char*(CDECL * WineGetVersionFunction)();
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    FARPROC wineGetVersion = ntdll != NULL ? GetProcAddress(ntdll, "wine_get_version") : NULL;
    if (wineGetVersion == NULL)
        return NULL;
    return reinterpret_cast<WineGetVersionFunction>(reinterpret_cast<void (*)()>(wineGetVersion))();
}

static inline bool RunningUnderWine()
{
    return WineVersion() != NULL;
}

#endif
