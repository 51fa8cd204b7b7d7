#ifndef QUENLARK_TESTS_EXPECTED_REPORT_H
#define QUENLARK_TESTS_EXPECTED_REPORT_H

// The report quenlark writes to a file or a pipe, as every test expects it: the
// system's text, wrapped as FormatMessage wraps (by characters, not bytes),
// lines ending in CR LF, in the code page quenlark writes. On kernel32 and
// msvcrt alone; false where the text does not fit.
#include <windows.h>

// The widest line FormatMessage keeps whole: MessageLineWidth on Windows, one
// column less under Wine, which breaks a line that would fill it.
size_t WrapWidth();

// The code page quenlark writes in when it shares this program's console:
// that console's output code page, or the OEM one where there is none.
UINT ReportCodePage();

// `message` (NULL or empty: none), ": " and the system's text for `error`, if any.
bool ExpectedReport(const wchar_t* message, DWORD error, UINT codePage, char* bytes, size_t size);
bool WrappedText(const wchar_t* text, UINT codePage, char* bytes, size_t size);
// A report in `codePage`, its lines joined and wrapped again.
bool RewrappedReport(const char* bytes, UINT codePage, char* rewrapped, size_t size);

// Where a line breaks, Windows may leave the blank before it: compared without.
void RemoveBlanksBeforeLineEnds(char* bytes);

#endif
