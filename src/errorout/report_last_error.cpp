#include "error_output.h"

#include <windows.h>

// Insert references in a system text (such as "%1" in the text for a file that
// is no program) are kept as they stand: with no arguments to fill them, the
// lookup would otherwise fail and the user would read a bare number.
static const DWORD SystemTextFlags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                     FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK;

void ReportLastError(const char* message)
{
    DWORD errorCode = GetLastError();

    char* systemText = NULL;
    if (FormatMessageA(SystemTextFlags, NULL, errorCode, LANG_USER_DEFAULT, reinterpret_cast<LPSTR>(&systemText), 0,
                       NULL) == 0)
        systemText = NULL;

    bool messageGiven = message != NULL && message[0] != '\0';
    if (systemText == NULL) {
        if (messageGiven)
            fprintf(stderr, "%s: Win32 error %u\n", message, static_cast<unsigned>(errorCode));
        else
            fprintf(stderr, "Win32 error %u\n", static_cast<unsigned>(errorCode));
        return;
    }

    if (messageGiven)
        PrintFormattedMessage(stderr, "%1: %2%%n", message, systemText);
    else
        PrintFormattedMessage(stderr, "%1%%n", systemText);
    LocalFree(systemText);
}
