// Error output against the real kernel32: the four forms of a report, the
// wrapping, the code page, and the bytes a file gets.
#include <windows.h>
#include <io.h>

#include <gtest/gtest.h>

#include <string>

#include "error_output.h"
#include "support/capture_stream.h"
#include "support/expected_report.h"
#include "support/wine.h"

namespace {

// A code for which the system has no text; its top bit shows the code is
// printed unsigned.
const DWORD CodeWithoutText = 0xE0001234;

std::string Report(const wchar_t* message, DWORD errorCode)
{
    return CaptureStandardError([&] {
        SetLastError(errorCode);
        ReportLastError(message);
    });
}

std::wstring Wide(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

// What PrintFormattedMessage writes to a binary stream: lines end in a bare line feed.
std::string Formatted(const wchar_t* format, const wchar_t* insert)
{
    return CaptureStream([&](FILE* file) { EXPECT_EQ(PrintFormattedMessage(file, format, insert), 1); });
}

// `text` as PrintFormattedMessage's lines, ending in CR LF, no blank before.
std::string Shown(const std::wstring& text)
{
    std::string bytes;
    for (char c : Formatted(L"%1%%n", text.c_str()))
        bytes += c == '\n' ? "\r\n" : std::string(1, c);
    RemoveBlanksBeforeLineEnds(&bytes[0]);
    return bytes.c_str();
}

// The report with the system's text, as quenlark writes it in this setting.
std::string ExpectedReportText(const wchar_t* message, DWORD errorCode)
{
    static char bytes[8192];
    return ExpectedReport(message, errorCode, ReportCodePage(), bytes, sizeof bytes) ? bytes : "";
}

TEST(ErrorOutput, ReportFormsByMessageAndSystemText)
{
    const std::string withMessage = ExpectedReportText(L"Error creating process", ERROR_FILE_NOT_FOUND),
                      alone = ExpectedReportText(NULL, ERROR_FILE_NOT_FOUND);
    ASSERT_FALSE(withMessage.empty() || alone.empty()) << "no system text for ERROR_FILE_NOT_FOUND";
    ASSERT_TRUE(ExpectedReportText(NULL, CodeWithoutText).empty());
    // Long enough for three lines, each of which must end in CR LF once.
    std::wstring longMessage = L"Error creating process";
    while (longMessage.size() < 160)
        longMessage += L" again";
    struct Case {
        const wchar_t* message;
        DWORD errorCode;
        std::string shown;
    };
    const Case cases[] = {
        {L"Error creating process", ERROR_FILE_NOT_FOUND, withMessage},
        {L"", ERROR_FILE_NOT_FOUND, alone},
        {NULL, ERROR_FILE_NOT_FOUND, alone},
        {longMessage.c_str(), ERROR_FILE_NOT_FOUND, ExpectedReportText(longMessage.c_str(), ERROR_FILE_NOT_FOUND)},
        {L"Error creating process", CodeWithoutText, "Error creating process: Win32 error 3758101044\r\n"},
        {L"", CodeWithoutText, "Win32 error 3758101044\r\n"},
        {NULL, CodeWithoutText, "Win32 error 3758101044\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.message ? c.message : L"(absent)") << " " << c.errorCode);
        std::string bytes = Report(c.message, c.errorCode);
        RemoveBlanksBeforeLineEnds(&bytes[0]);
        EXPECT_EQ(bytes.c_str(), c.shown) << "in code page " << ReportCodePage();
    }
}

TEST(ErrorOutput, WithoutAConsoleReportsAreInTheOemCodePage)
{
    // Letters of several scripts, some at other bytes in the OEM code page than in the ANSI one.
    const wchar_t message[] = L"\u00e9\u00fc\u0424\u03a9\u011f\u05d0\u0e01\u0107";
    char oem[64] = "", ansi[64] = "";
    WideCharToMultiByte(GetOEMCP(), 0, message, -1, oem, sizeof oem, NULL, NULL);
    WideCharToMultiByte(GetACP(), 0, message, -1, ansi, sizeof ansi, NULL, NULL);
    if (strcmp(oem, ansi) == 0)
        GTEST_SKIP() << "OEM code page " << GetOEMCP() << " holds these letters as ANSI code page " << GetACP()
                     << " does, so a report converted to either looks the same";
    FreeConsole();
    EXPECT_EQ(Report(message, ERROR_FILE_NOT_FOUND).substr(0, strlen(oem) + 2), std::string(oem) + ": ");
    EXPECT_EQ(Report(message, CodeWithoutText), std::string(oem) + ": Win32 error 3758101044\r\n");
}

TEST(ErrorOutput, WrapsAtMessageLineWidthBetweenWords)
{
    // The widest line stays whole; one column more moves its last word to a
    // line of its own. Windows keeps a line of the full width; Wine breaks one
    // that would fill it.
    const std::string first(WrapWidth() - 9, 'x');
    EXPECT_EQ(Shown(Wide(first + " yyyyyyyy")), first + " yyyyyyyy\r\n");
    EXPECT_EQ(Shown(Wide("x" + first + " yyyyyyyy")), "x" + first + "\r\nyyyyyyyy\r\n");
    // The text's own line breaks go, and every line is as full as it can be.
    std::string words;
    for (int word = 0; word < 60; ++word)
        words += "word" + std::to_string(word) + (word % 7 == 6 ? "\r\n" : " ");
    static char wrapped[8192];
    ASSERT_TRUE(WrappedText(Wide(words).c_str(), ReportCodePage(), wrapped, sizeof wrapped));
    EXPECT_EQ(Shown(Wide(words)), wrapped);
}

TEST(ErrorOutput, PercentSignsInInsertsAreReadOnceMore)
{
    // The filled-in text is formatted a second time, so escapes in it take effect
    // and insert references stay as they are.
    EXPECT_EQ(Formatted(L"%1%%n", L"a %1 b%nc"), "a %1 b\nc\n");
    if (RunningUnderWine())
        GTEST_SKIP() << "Wine keeps \"%%\" as two characters when inserts are ignored";
    EXPECT_EQ(Formatted(L"%1%%n", L"100%% sure"), "100% sure\n");
}

TEST(ErrorOutput, LongWordsAreNotSplit)
{
    if (RunningUnderWine())
        GTEST_SKIP() << "Wine splits words longer than the line width";
    const std::string longWord(100, 'x');
    EXPECT_EQ(Shown(Wide("a " + longWord + " b")), "a\r\n" + longWord + "\r\nb\r\n");
}

TEST(ErrorOutput, FlushesTheStream)
{
    FILE* file = tmpfile();
    setvbuf(file, NULL, _IOFBF, 4096);
    EXPECT_EQ(PrintFormattedMessage(file, L"%1: %2%%n", L"one", L"two"), 1);
    EXPECT_EQ(_filelength(_fileno(file)), 9) << "the text is still in the stream's buffer";
    fclose(file);
}

} // namespace
