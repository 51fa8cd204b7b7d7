#ifndef QUENLARK_TESTS_EXPECTED_REPORT_H
#define QUENLARK_TESTS_EXPECTED_REPORT_H

// The report quenlark writes to a file or a pipe, as every test expects it:
// the system's text in the user's language, wrapped where FormatMessage wraps
// it (counting characters, not bytes), in the code page quenlark writes. On
// kernel32 and msvcrt alone, with static buffers, for every test program.
#include <windows.h>

// The widest line FormatMessage leaves whole: MessageLineWidth on Windows, one
// column less under Wine, which breaks a line that would fill it.
size_t WrapWidth();

// The code page of quenlark's reports to a file or a pipe, when it shares
// this program's console: that console's output code page, or the OEM one
// where there is none.
UINT ReportCodePage();

// `message` (NULL or empty: none), ": " and the system's text for `error`,
// wrapped to WrapWidth() with lines ending in CR LF and no blank before a line
// end, as bytes in `codePage`. False where the system has no text for `error`
// or the report does not fit in `size` bytes.
bool ExpectedReport(const wchar_t* message, DWORD error, UINT codePage, char* bytes, size_t size);

// `text` (UTF-16) wrapped as ExpectedReport wraps a report, in `codePage`.
bool WrappedText(const wchar_t* text, UINT codePage, char* bytes, size_t size);

// `bytes` without the blanks before its line ends: where a line breaks,
// Windows' documentation leaves open whether the blank stays before it.
void RemoveBlanksBeforeLineEnds(char* bytes);

// A report in `codePage` (blanks before line ends removed), its lines joined
// and wrapped again as ExpectedReport wraps: equal to `bytes` where they were
// wrapped as FormatMessage wraps.
bool RewrappedReport(const char* bytes, UINT codePage, char* rewrapped, size_t size);

#endif
