// Error output against the real kernel32: the four forms of a report, the
// wrapping, and the bytes a file gets.
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

// What PrintFormattedMessage writes to a binary stream, byte for byte: its
// lines end in a bare line feed, which a text-mode stream writes as CR LF.
std::string Formatted(const wchar_t* format, const wchar_t* insert)
{
    return CaptureStream([&](FILE* file) { EXPECT_EQ(PrintFormattedMessage(file, format, insert), 1); });
}

// The lines PrintFormattedMessage makes of `text`, each ending in CR LF as a
// text-mode stream writes it, without the blanks before the line ends.
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
    // The first letter that the OEM code page holds, at another byte than the
    // ANSI one: the report shows which of the two it was converted to.
    const wchar_t letters[] = L"\u00e9\u0424\u03a9\u011f\u05d0\u0e01\u0107\u00fc";
    char oem[8] = "", ansi[8] = "";
    const wchar_t* letter = letters;
    for (; *letter != L'\0'; ++letter) {
        BOOL lost = FALSE;
        int oemLength = WideCharToMultiByte(GetOEMCP(), 0, letter, 1, oem, 7, NULL, &lost);
        oem[oemLength] = '\0';
        ansi[WideCharToMultiByte(GetACP(), 0, letter, 1, ansi, 7, NULL, NULL)] = '\0';
        if (oemLength > 0 && !lost && strcmp(oem, ansi) != 0)
            break;
    }
    if (*letter == L'\0')
        GTEST_SKIP() << "no letter tried stands at another byte in OEM code page " << GetOEMCP() << " than in ANSI code page "
                     << GetACP() << ", so a report converted to either looks the same";
    FreeConsole();
    const std::wstring message = std::wstring(L"Caf") + *letter;
    EXPECT_EQ(Report(message.c_str(), ERROR_FILE_NOT_FOUND).substr(0, 5 + strlen(oem)), "Caf" + std::string(oem) + ": ");
    EXPECT_EQ(Report(message.c_str(), CodeWithoutText), "Caf" + std::string(oem) + ": Win32 error 3758101044\r\n");
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
