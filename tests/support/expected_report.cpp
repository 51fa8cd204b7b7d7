#include "expected_report.h"

#include <string.h>
#include <wchar.h>

#include "error_output.h"
#include "support/wine.h"

static const size_t TextSize = 8192;

size_t WrapWidth()
{
    return MessageLineWidth - (RunningUnderWine() ? 1 : 0);
}

UINT ReportCodePage()
{
    UINT codePage = GetConsoleOutputCP();
    return codePage != 0 ? codePage : GetOEMCP();
}

// Whole words, lines of WrapWidth() characters at most, each ending in CR LF.
static bool Wrap(const wchar_t* text, wchar_t* lines, size_t size)
{
    size_t width = WrapWidth(), length = 0, column = 0;
    for (const wchar_t* word = text; *word != L'\0'; word += *word != L'\0' ? 1 : 0) {
        size_t wordLength = wcscspn(word, L" \r\n");
        if (length + wordLength + 5 > size)
            return false;
        if (column > 0 && wordLength > 0) {
            bool full = column + 1 + wordLength > width;
            if (full)
                lines[length++] = L'\r';
            lines[length++] = full ? L'\n' : L' ';
            column = full ? 0 : column + 1;
        }
        wmemcpy(lines + length, word, wordLength);
        length += wordLength;
        column += wordLength;
        word += wordLength;
    }
    wcscpy(lines + length, L"\r\n");
    return true;
}

bool WrappedText(const wchar_t* text, UINT codePage, char* bytes, size_t size)
{
    static wchar_t lines[TextSize]; // converted with no flags, as quenlark converts
    return Wrap(text, lines, TextSize) &&
           WideCharToMultiByte(codePage, 0, lines, -1, bytes, static_cast<int>(size), NULL, NULL) != 0;
}

bool ExpectedReport(const wchar_t* message, DWORD error, UINT codePage, char* bytes, size_t size)
{
    static wchar_t text[TextSize];
    const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK;
    size_t start = 0;
    if (message != NULL && message[0] != L'\0') {
        start = wcslen(message) + 2;
        if (start >= TextSize)
            return false;
        wcscpy(text, message);
        wcscat(text, L": ");
    }
    return FormatMessageW(flags, NULL, error, LANG_USER_DEFAULT, text + start, static_cast<DWORD>(TextSize - start),
                          NULL) != 0 &&
           WrappedText(text, codePage, bytes, size);
}

void RemoveBlanksBeforeLineEnds(char* bytes)
{
    char* kept = bytes;
    for (const char* p = bytes; *p != '\0'; ++p) {
        while (*p == '\r' && kept > bytes && kept[-1] == ' ')
            --kept;
        *kept++ = *p;
    }
    *kept = '\0';
}

bool RewrappedReport(const char* bytes, UINT codePage, char* rewrapped, size_t size)
{
    static wchar_t text[TextSize];
    return MultiByteToWideChar(codePage, 0, bytes, -1, text, static_cast<int>(TextSize)) != 0 &&
           WrappedText(text, codePage, rewrapped, size);
}
