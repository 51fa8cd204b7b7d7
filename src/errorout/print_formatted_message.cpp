#include "error_output.h"

#include <windows.h>
#include <stdarg.h>

#include "console_text.h"

// Pass one fills in the inserts and resolves the escapes ("%%n" becomes "%n");
// pass two leaves any insert references alone, turns "%n" into a line break,
// drops the text's own line breaks and wraps it at MessageLineWidth.
static const DWORD FillInFlags = FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER;
static const DWORD WrapFlags = FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_IGNORE_INSERTS |
                               FORMAT_MESSAGE_ALLOCATE_BUFFER | (MessageLineWidth & FORMAT_MESSAGE_MAX_WIDTH_MASK);

int PrintFormattedMessage(FILE* stream, const wchar_t* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    wchar_t* filledIn = NULL;
    DWORD length = FormatMessageW(FillInFlags, format, 0, 0, reinterpret_cast<LPWSTR>(&filledIn), 0, &arguments);
    va_end(arguments);
    if (length == 0)
        return 0;

    wchar_t* wrapped = NULL;
    length = FormatMessageW(WrapFlags, filledIn, 0, 0, reinterpret_cast<LPWSTR>(&wrapped), 0, NULL);
    if (length == 0) {
        LocalFree(filledIn);
        return 0;
    }
    LocalFree(filledIn);

    bool written = WriteConsoleText(stream, wrapped);
    LocalFree(wrapped);
    fflush(stream);
    return written ? 1 : 0;
}
