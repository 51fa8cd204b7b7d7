// Error output as the user reads it, with the system's text substituted by one
// in three scripts: a console shows every character whatever its code page,
// and a file or a pipe gets the bytes of the console's output code page.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <gtest/gtest.h>

#include <string>

#include "error_output.h"
#include "support/capture_stream.h"
#include "support/substitute_import.h"
#include "support/wine_retries.h"

namespace {

// Cyrillic, CJK and an accented Latin letter.
const wchar_t SystemTextInThreeScripts[] = L"\u0424\u0430\u0439\u043b \u65e5\u672c\u8a9e sp\u00e9cifi\u00e9.";

DWORD WINAPI SubstituteFormatMessageW(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPWSTR buffer,
                                      DWORD size, va_list* arguments)
{
    // Only the error output calls the substitute: this is the real function.
    if ((flags & FORMAT_MESSAGE_FROM_SYSTEM) == 0)
        return FormatMessageW(flags, source, messageId, languageId, buffer, size, arguments);
    wchar_t* text = static_cast<wchar_t*>(LocalAlloc(LMEM_FIXED, sizeof SystemTextInThreeScripts));
    memcpy(text, SystemTextInThreeScripts, sizeof SystemTextInThreeScripts);
    *reinterpret_cast<wchar_t**>(buffer) = text;
    return static_cast<DWORD>(wcslen(text));
}
SUBSTITUTE_IMPORT(FormatMessageW, SubstituteFormatMessageW);

// A console of this test's own, showing `codePage`: the console of whoever
// started the tests keeps its own.
void UseOwnConsole(UINT codePage)
{
    ASSERT_TRUE(OpenOwnConsole()) << GetLastError();
    ASSERT_TRUE(SetConsoleOutputCP(codePage)) << codePage;
}

void ReportFileNotFound()
{
    SetLastError(ERROR_FILE_NOT_FOUND);
    ReportLastError(L"Error creating process");
}

// The first line of a screen buffer, without trailing blanks. A wide character
// may fill two cells; the second is marked as its trailing one.
std::wstring FirstLine(HANDLE screen)
{
    CHAR_INFO cells[80];
    COORD size = {80, 1}, origin = {0, 0};
    SMALL_RECT area = {0, 0, 79, 0};
    if (!ReadConsoleOutputW(screen, cells, size, origin, &area))
        return L"(unreadable, error " + std::to_wstring(GetLastError()) + L")";
    std::wstring line;
    for (const CHAR_INFO& cell : cells)
        if ((cell.Attributes & COMMON_LVB_TRAILING_BYTE) == 0)
            line += cell.Char.UnicodeChar;
    return line.erase(line.find_last_not_of(L' ') + 1);
}

TEST(ErrorOutputConsole, AConsoleShowsEveryCharacterWhateverItsCodePage)
{
    // Code page 437 has none of the Cyrillic or CJK letters.
    UseOwnConsole(437);
    HANDLE screen = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                              CONSOLE_TEXTMODE_BUFFER, NULL);
    ASSERT_NE(screen, INVALID_HANDLE_VALUE) << GetLastError();
    int screenFile = _open_osfhandle(reinterpret_cast<intptr_t>(screen), _O_TEXT);
    ASSERT_NE(screenFile, -1);

    fflush(stderr);
    int original = _dup(2);
    _dup2(screenFile, 2);
    ReportFileNotFound();
    _dup2(original, 2);
    _close(original);

    EXPECT_EQ(FirstLine(screen), std::wstring(L"Error creating process: ") + SystemTextInThreeScripts);
    CONSOLE_SCREEN_BUFFER_INFO info;
    ASSERT_TRUE(GetConsoleScreenBufferInfo(screen, &info));
    EXPECT_TRUE(info.dwCursorPosition.X == 0 && info.dwCursorPosition.Y == 1)
        << "the report does not end in one line break: the cursor is at " << info.dwCursorPosition.X << ","
        << info.dwCursorPosition.Y;
    _close(screenFile);
}

TEST(ErrorOutputConsole, AFileGetsTheBytesOfTheConsolesOutputCodePage)
{
    struct Case {
        UINT codePage;
        std::string bytes;
    };
    const Case cases[] = {
        {65001, "Error creating process: \xD0\xA4\xD0\xB0\xD0\xB9\xD0\xBB \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E "
                "sp\xC3\xA9" "cifi\xC3\xA9.\r\n"},
        // Code page 850 holds e acute as 0x82, and no Cyrillic or CJK letter.
        {850, "Error creating process: ???? ??? sp\x82" "cifi\x82.\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.codePage);
        UseOwnConsole(c.codePage);
        EXPECT_EQ(CaptureStandardError(ReportFileNotFound), c.bytes);
    }
}

} // namespace
