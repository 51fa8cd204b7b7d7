#include "oem_conversion.h"

#include <windows.h>
#include <string.h>

typedef BOOL(WINAPI* CharToOemAFunction)(LPCSTR source, LPSTR destination);

static const char User32Name[] = "user32.dll";

// Only from the system directory, so that no user32.dll planted in the
// current or the launcher's directory is ever loaded.
static HMODULE LoadSystemUser32()
{
    HMODULE user32 = LoadLibraryExA(User32Name, NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (user32 != NULL)
        return user32;
    // Systems that predate the search flag reject it as an invalid parameter.
    if (GetLastError() != ERROR_INVALID_PARAMETER)
        return NULL;

    char path[MAX_PATH + sizeof User32Name];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return NULL;
    path[length] = '\\';
    memcpy(path + length + 1, User32Name, sizeof User32Name);
    return LoadLibraryA(path);
}

// user32 is loaded here, when a report is written, and never at start-up:
// importing it would make every launch pay for its initialisation.
void ConvertToOemCodePage(char* text)
{
    HMODULE user32 = LoadSystemUser32();
    if (user32 == NULL)
        return;

    CharToOemAFunction charToOem =
        reinterpret_cast<CharToOemAFunction>(reinterpret_cast<void (*)()>(GetProcAddress(user32, "CharToOemA")));
    if (charToOem != NULL)
        charToOem(text, text);

    FreeLibrary(user32);
}
