#include "error_output.h"

#include <windows.h>

#include "console_text.h"

// Insert references in a system text (such as "%1" in the text for a file that
// is no program) are kept as they stand: with no arguments to fill them, the
// lookup would otherwise fail and the user would read a bare number. The text
// comes in UTF-16, so that no letter of the user's language is lost to the
// ANSI code page.
static const DWORD SystemTextFlags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                     FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK;

// The error's number where the system has no text for it; not wrapped.
static const DWORD NumberFlags =
    FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_ARGUMENT_ARRAY;

static void PrintErrorNumber(const wchar_t* message, DWORD errorCode)
{
    const wchar_t* format = message != NULL ? L"%1: Win32 error %2!u!%n" : L"Win32 error %2!u!%n";
    DWORD_PTR inserts[] = {reinterpret_cast<DWORD_PTR>(message), errorCode};
    wchar_t* text = NULL;
    if (FormatMessageW(NumberFlags, format, 0, 0, reinterpret_cast<LPWSTR>(&text), 0,
                       reinterpret_cast<va_list*>(inserts)) == 0)
        return;
    WriteConsoleText(stderr, text);
    LocalFree(text);
}

void ReportLastError(const wchar_t* message)
{
    DWORD errorCode = GetLastError();

    wchar_t* systemText = NULL;
    if (FormatMessageW(SystemTextFlags, NULL, errorCode, LANG_USER_DEFAULT, reinterpret_cast<LPWSTR>(&systemText), 0,
                       NULL) == 0)
        systemText = NULL;

    if (message != NULL && message[0] == L'\0')
        message = NULL;
    if (systemText == NULL) {
        PrintErrorNumber(message, errorCode);
        return;
    }

    if (message != NULL)
        PrintFormattedMessage(stderr, L"%1: %2%%n", message, systemText);
    else
        PrintFormattedMessage(stderr, L"%1%%n", systemText);
    LocalFree(systemText);
}
