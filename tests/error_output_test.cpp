// Error output against the real kernel32: the four forms of a report, the
// wrapping, and the conversion to the console's code page.
#include <windows.h>
#include <io.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "error_output.h"
#include "support/capture_stream.h"
#include "support/console_lines.h"
#include "support/system_text.h"

namespace {

// A code for which the system has no text; its top bit shows the code is
// printed unsigned.
const DWORD CodeWithoutText = 0xE0001234;

std::string Report(const char* message, DWORD errorCode)
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
std::string Formatted(const char* format, const char* insert)
{
    return CaptureStream([&](FILE* file) { EXPECT_EQ(PrintFormattedMessage(file, format, insert), 1); });
}

TEST(ErrorOutput, ReportFormsByMessageAndSystemText)
{
    const std::string fileNotFound = SystemText(ERROR_FILE_NOT_FOUND);
    ASSERT_FALSE(fileNotFound.empty());
    ASSERT_TRUE(SystemText(CodeWithoutText).empty());
    struct Case {
        const char* message;
        DWORD errorCode;
        std::string shown;
    };
    const Case cases[] = {
        {"Error creating process", ERROR_FILE_NOT_FOUND, "Error creating process: " + fileNotFound},
        {"", ERROR_FILE_NOT_FOUND, fileNotFound},
        {NULL, ERROR_FILE_NOT_FOUND, fileNotFound},
        {"Error creating process", CodeWithoutText, "Error creating process: Win32 error 3758101044"},
        {"", CodeWithoutText, "Win32 error 3758101044"},
        {NULL, CodeWithoutText, "Win32 error 3758101044"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.message ? c.message : "(absent)") << " " << c.errorCode);
        std::string bytes = Report(c.message, c.errorCode);
        std::vector<std::string> lines = ConsoleLines(bytes);
        ASSERT_EQ(lines.size(), 1u) << bytes;
        EXPECT_EQ(WithoutTrailingBlanks(lines[0]), c.shown);
        EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n") << "ends in a line break";
        EXPECT_TRUE(EndsEachLineWithOneCrLf(bytes)) << bytes;
    }
}

TEST(ErrorOutput, SystemTextsKeepTheirInsertReferences)
{
    std::string shown = ConsoleLines(Report("Error creating process", ERROR_BAD_EXE_FORMAT)).at(0);
    EXPECT_EQ(WithoutTrailingBlanks(shown), "Error creating process: " + SystemText(ERROR_BAD_EXE_FORMAT));
    EXPECT_NE(shown.find("%1"), std::string::npos);
}

TEST(ErrorOutput, FormattedReportsAreInTheOemCodePage)
{
    // In code page 1252 "\xe9" is e acute, which code page 437 holds as 0x82.
    if (GetACP() != 1252 || GetOEMCP() != 437)
        GTEST_SKIP() << "needs ANSI code page 1252 and OEM code page 437";
    EXPECT_EQ(Report("Caf\xe9", ERROR_FILE_NOT_FOUND).substr(0, 6), "Caf\x82: ");
    EXPECT_EQ(Report("Caf\xe9", CodeWithoutText), "Caf\xe9: Win32 error 3758101044\r\n");
}

TEST(ErrorOutput, WrapsAtMessageLineWidthBetweenWords)
{
    std::string text;
    for (int word = 0; word < 60; ++word)
        text += "word" + std::to_string(word) + (word % 7 == 6 ? "\r\n" : " ");
    std::string bytes = Formatted("%1%%n", text.c_str());

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
        std::vector<std::string> lines = ConsoleLines(Formatted("%1%%n", (first + " " + last).c_str()));
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
    std::string message = "Error creating process";
    while (message.size() < 160)
        message += " again";
    std::string bytes = Report(message.c_str(), ERROR_FILE_NOT_FOUND);
    EXPECT_GE(ConsoleLines(bytes).size(), 3u) << bytes;
    EXPECT_TRUE(EndsEachLineWithOneCrLf(bytes)) << bytes;
}

TEST(ErrorOutput, PercentSignsInInsertsAreReadOnceMore)
{
    // The filled-in text is formatted a second time, so escapes in it take effect
    // and insert references stay as they are.
    EXPECT_EQ(Formatted("%1%%n", "a %1 b%nc"), "a %1 b\nc\n");
    if (RunningUnderWine())
        GTEST_SKIP() << "Wine keeps \"%%\" as two characters when inserts are ignored";
    EXPECT_EQ(Formatted("%1%%n", "100%% sure"), "100% sure\n");
}

TEST(ErrorOutput, LongWordsAreNotSplit)
{
    if (RunningUnderWine())
        GTEST_SKIP() << "Wine splits words longer than the line width";
    // Where a line breaks, Windows' documentation leaves open whether the blank stays before it.
    std::string longWord(100, 'x');
    std::vector<std::string> lines = ConsoleLines(Formatted("%1%%n", ("a " + longWord + " b").c_str()));
    for (std::string& line : lines)
        line = WithoutTrailingBlanks(line);
    EXPECT_EQ(lines, std::vector<std::string>({"a", longWord, "b"}));
}

TEST(ErrorOutput, FlushesTheStream)
{
    FILE* file = tmpfile();
    setvbuf(file, NULL, _IOFBF, 4096);
    EXPECT_EQ(PrintFormattedMessage(file, "%1: %2%%n", "one", "two"), 1);
    EXPECT_EQ(_filelength(_fileno(file)), 9) << "the text is still in the stream's buffer";
    fclose(file);
}

} // namespace
