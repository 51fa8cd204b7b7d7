#include "error_output.h"

#include <windows.h>
#include <stdarg.h>

#include "oem_conversion.h"

// Pass one fills in the inserts and resolves the escapes ("%%n" becomes "%n");
// pass two leaves any insert references alone, turns "%n" into a line break,
// drops the text's own line breaks and wraps it at MessageLineWidth.
static const DWORD FillInFlags = FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER;
static const DWORD WrapFlags = FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_IGNORE_INSERTS |
                               FORMAT_MESSAGE_ALLOCATE_BUFFER | (MessageLineWidth & FORMAT_MESSAGE_MAX_WIDTH_MASK);

// FormatMessage ends its lines with CR LF, and a text-mode stream writes every
// line feed as CR LF again: written with bare line feeds, each line ends in CR
// LF once in a file or a pipe, and a console shows the same lines.
static void UseStreamLineEnds(char* text)
{
    char* kept = text;
    for (const char* p = text; *p != '\0'; ++p)
        if (!(p[0] == '\r' && p[1] == '\n'))
            *kept++ = *p;
    *kept = '\0';
}

int PrintFormattedMessage(FILE* stream, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    char* filledIn = NULL;
    DWORD length = FormatMessageA(FillInFlags, format, 0, 0, reinterpret_cast<LPSTR>(&filledIn), 0, &arguments);
    va_end(arguments);
    if (length == 0)
        return 0;

    char* wrapped = NULL;
    length = FormatMessageA(WrapFlags, filledIn, 0, 0, reinterpret_cast<LPSTR>(&wrapped), 0, NULL);
    if (length == 0) {
        LocalFree(filledIn);
        return 0;
    }
    LocalFree(filledIn);

    ConvertToOemCodePage(wrapped);
    UseStreamLineEnds(wrapped);
    fprintf(stream, "%s", wrapped);
    LocalFree(wrapped);
    fflush(stream);
    return 1;
}
