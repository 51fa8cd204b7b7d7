#include "console_text.h"

#include <windows.h>
#include <io.h>

// FormatMessage ends its lines with CR LF, and a text-mode stream writes every
// line feed as CR LF again: written with bare line feeds, each line ends in CR
// LF once in a file or a pipe.
static void UseStreamLineEnds(wchar_t* text)
{
    wchar_t* kept = text;
    for (const wchar_t* p = text; *p != L'\0'; ++p)
        if (!(p[0] == L'\r' && p[1] == L'\n'))
            *kept++ = *p;
    *kept = L'\0';
}

// What a console shows of bytes depends on its code page, and a C runtime may
// hand each byte to it as a character of its own: characters need no code page.
static bool WriteToConsole(HANDLE console, const wchar_t* text)
{
    DWORD written = 0;
    return WriteConsoleW(console, text, static_cast<DWORD>(wcslen(text)), &written, NULL) != 0;
}

// The code page a program reading the pipe expects is the one its console
// shows; a process without a console gets 0 and the OEM code page, which a
// new console starts with.
static UINT OutputCodePage()
{
    UINT codePage = GetConsoleOutputCP();
    if (codePage != 0)
        return codePage;
    return GetOEMCP();
}

static bool WriteAsBytes(FILE* stream, wchar_t* text)
{
    UseStreamLineEnds(text);
    UINT codePage = OutputCodePage();
    // No flags: several code pages (UTF-8 among them) refuse any.
    int size = WideCharToMultiByte(codePage, 0, text, -1, NULL, 0, NULL, NULL);
    if (size == 0)
        return false;
    char* bytes = static_cast<char*>(LocalAlloc(LMEM_FIXED, static_cast<SIZE_T>(size)));
    if (bytes == NULL)
        return false;
    bool written = WideCharToMultiByte(codePage, 0, text, -1, bytes, size, NULL, NULL) != 0 &&
                   fputs(bytes, stream) >= 0;
    LocalFree(bytes);
    return written;
}

bool WriteConsoleText(FILE* stream, wchar_t* text)
{
    // What the stream holds already comes first.
    fflush(stream);
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD consoleMode = 0;
    if (handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &consoleMode))
        return WriteToConsole(handle, text);
    return WriteAsBytes(stream, text);
}
