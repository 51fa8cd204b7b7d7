// Error output against the real kernel32: the four forms of a report, the
// wrapping, and the bytes a file gets.
#include <windows.h>
#include <io.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "error_output.h"
#include "support/capture_stream.h"
#include "support/console_lines.h"
#include "support/wine.h"

namespace {

// A code for which the system has no text; its top bit shows the code is
// printed unsigned.
const DWORD CodeWithoutText = 0xE0001234;

// The system's own text for an error code, on one line, without trailing
// blanks; empty when the system has none.
std::string SystemText(DWORD errorCode)
{
    char* text = NULL;
    DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                  FORMAT_MESSAGE_MAX_WIDTH_MASK;
    if (FormatMessageA(flags, NULL, errorCode, LANG_USER_DEFAULT, reinterpret_cast<LPSTR>(&text), 0, NULL) == 0)
        return std::string();
    std::string result(text);
    LocalFree(text);
    return result.erase(result.find_last_not_of(" \r\n") + 1);
}

std::string Report(const wchar_t* message, DWORD errorCode)
{
    return CaptureStandardError([&] {
        SetLastError(errorCode);
        ReportLastError(message);
    });
}

std::string WithoutTrailingBlanks(std::string line)
{
    return line.erase(line.find_last_not_of(' ') + 1);
}

// What PrintFormattedMessage writes to a binary stream, byte for byte: its
// lines end in a bare line feed, which a text-mode stream writes as CR LF.
std::string Formatted(const wchar_t* format, const wchar_t* insert)
{
    return CaptureStream([&](FILE* file) { EXPECT_EQ(PrintFormattedMessage(file, format, insert), 1); });
}

TEST(ErrorOutput, ReportFormsByMessageAndSystemText)
{
    const std::string fileNotFound = SystemText(ERROR_FILE_NOT_FOUND);
    ASSERT_FALSE(fileNotFound.empty());
    ASSERT_TRUE(SystemText(CodeWithoutText).empty());
    struct Case {
        const wchar_t* message;
        DWORD errorCode;
        std::string shown;
    };
    const Case cases[] = {
        {L"Error creating process", ERROR_FILE_NOT_FOUND, "Error creating process: " + fileNotFound},
        {L"", ERROR_FILE_NOT_FOUND, fileNotFound},
        {NULL, ERROR_FILE_NOT_FOUND, fileNotFound},
        {L"Error creating process", CodeWithoutText, "Error creating process: Win32 error 3758101044"},
        {L"", CodeWithoutText, "Win32 error 3758101044"},
        {NULL, CodeWithoutText, "Win32 error 3758101044"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.message ? c.message : L"(absent)") << " " << c.errorCode);
        std::string bytes = Report(c.message, c.errorCode);
        std::vector<std::string> lines = ConsoleLines(bytes);
        ASSERT_EQ(lines.size(), 1u) << bytes;
        EXPECT_EQ(WithoutTrailingBlanks(lines[0]), c.shown);
        EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n") << "ends in a line break";
        EXPECT_TRUE(EndsEachLineWithOneCrLf(bytes)) << bytes;
    }
}

TEST(ErrorOutput, WithoutAConsoleReportsAreInTheOemCodePage)
{
    // Code page 437 holds e acute as 0x82.
    if (GetOEMCP() != 437)
        GTEST_SKIP() << "needs OEM code page 437";
    FreeConsole();
    EXPECT_EQ(Report(L"Caf\u00e9", ERROR_FILE_NOT_FOUND).substr(0, 6), "Caf\x82: ");
    EXPECT_EQ(Report(L"Caf\u00e9", CodeWithoutText), "Caf\x82: Win32 error 3758101044\r\n");
}

TEST(ErrorOutput, WrapsAtMessageLineWidthBetweenWords)
{
    std::string text;
    for (int word = 0; word < 60; ++word)
        text += "word" + std::to_string(word) + (word % 7 == 6 ? "\r\n" : " ");
    std::string bytes = Formatted(L"%1%%n", std::wstring(text.begin(), text.end()).c_str());

    ASSERT_EQ(bytes.back(), '\n');
    std::istringstream expectedWords(text);
    std::string expectedWord;
    std::string rejoined;
    std::vector<std::string> lines = ConsoleLines(bytes);
    EXPECT_GT(lines.size(), 4u);
    for (const std::string& line : lines) {
        EXPECT_LE(WithoutTrailingBlanks(line).size(), MessageLineWidth) << line;
        rejoined += line + " ";
    }
    // The text's own line breaks are gone: the words come back in order, whole.
    std::istringstream shownWords(rejoined);
    std::string shownWord;
    while (expectedWords >> expectedWord) {
        ASSERT_TRUE(shownWords >> shownWord);
        EXPECT_EQ(shownWord, expectedWord);
    }
}

TEST(ErrorOutput, LinesHoldAtMost78Columns)
{
    // The widest line that stays whole, and one column more, which moves its
    // last word to a line of its own. Windows keeps a line of the full width;
    // Wine breaks one that would fill it.
    const size_t widest = RunningUnderWine() ? 77 : 78;
    for (size_t width : {widest, widest + 1}) {
        const std::string first(width - 9, 'x'), last(8, 'y');
        const std::string line = first + " " + last;
        std::vector<std::string> lines = ConsoleLines(Formatted(L"%1%%n", std::wstring(line.begin(), line.end()).c_str()));
        if (width == widest) {
            ASSERT_EQ(lines.size(), 1u) << width;
            EXPECT_EQ(WithoutTrailingBlanks(lines[0]), first + " " + last);
        } else {
            ASSERT_EQ(lines.size(), 2u) << width;
            EXPECT_EQ(WithoutTrailingBlanks(lines[0]), first);
            EXPECT_EQ(WithoutTrailingBlanks(lines[1]), last);
        }
    }
}

TEST(ErrorOutput, AWrappedReportReachesAFileWithEachLineEndOnce)
{
    std::wstring message = L"Error creating process";
    while (message.size() < 160)
        message += L" again";
    std::string bytes = Report(message.c_str(), ERROR_FILE_NOT_FOUND);
    EXPECT_GE(ConsoleLines(bytes).size(), 3u) << bytes;
    EXPECT_TRUE(EndsEachLineWithOneCrLf(bytes)) << bytes;
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
    // Where a line breaks, Windows' documentation leaves open whether the blank stays before it.
    std::wstring longWord(100, L'x');
    std::vector<std::string> lines = ConsoleLines(Formatted(L"%1%%n", (L"a " + longWord + L" b").c_str()));
    for (std::string& line : lines)
        line = WithoutTrailingBlanks(line);
    EXPECT_EQ(lines, std::vector<std::string>({"a", std::string(longWord.begin(), longWord.end()), "b"}));
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
