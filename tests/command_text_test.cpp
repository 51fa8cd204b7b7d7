// Where the command text starts in the launcher's raw command line.
#include <gtest/gtest.h>

#include <string>

#include "command_text.h"

namespace {

struct Case {
    const wchar_t* commandLine;
    int optionCount;
    const wchar_t* firstWord;   // as the C runtime split it
    const wchar_t* commandText; // NULL: not found
};

const Case Cases[] = {
    {L"quenlark app.exe", 0, L"app.exe", L"app.exe"},
    {L"quenlark  /u   app.exe   a   b ", 1, L"app.exe", L"app.exe   a   b "},
    {L"quenlark\t/u\t/S\tapp.exe\t/u", 2, L"app.exe", L"app.exe\t/u"},
    // The word inside the launcher's own path or inside an option word.
    {L"C:\\tools\\quenlark.exe lark.exe", 0, L"lark.exe", L"lark.exe"},
    {L"C:\\py\\quenlark.exe py", 0, L"py", L"py"},
    {L"quenlark /s s", 1, L"s", L"s"},
    // A quoted program name ends at its closing quote, even with no blank after it.
    {L"\"C:\\My Tools\\quenlark.exe\" /u app.exe", 1, L"app.exe", L"app.exe"},
    {L"\"C:\\My Tools\\quenlark.exe\"app.exe x", 0, L"app.exe", L"app.exe x"},
    // Option words typed with quotes.
    {L"quenlark \"/u\" /\"S\" /u\"\" app.exe", 3, L"app.exe", L"app.exe"},
    // A quoted first word keeps its opening quote; an unclosed one runs to the end.
    {L"quenlark \"C:\\Program Files\\App\\app.exe\" -x", 0, L"C:\\Program Files\\App\\app.exe",
     L"\"C:\\Program Files\\App\\app.exe\" -x"},
    {L"quenlark \"C:\\a b\\app.exe", 0, L"C:\\a b\\app.exe", L"\"C:\\a b\\app.exe"},
    // Words the runtime pieced together or unescaped do not stand there as typed.
    {L"quenlark \"app\"x.exe", 0, L"appx.exe", NULL},
    {L"quenlark a\\\"b.exe", 0, L"a\"b.exe", NULL},
    {L"quenlark app.exe\"\" x", 0, L"app.exe", NULL},
    {L"quenlark \"app.exe\"x", 0, L"app.exex", NULL},
    // The quoted part alone is not the word: the word ends at the closing quote.
    {L"quenlark \"app.exe\"x", 0, L"app.exe", NULL},
    {L"quenlark app.exe", 0, L"app", NULL},
    // A word holding a quote was typed with it escaped or doubled, so it never stands there as it was split.
    {L"quenlark \"app.exe\"\"", 0, L"app.exe\"", NULL},
    {L"quenlark \"app.exe\"\" x", 0, L"app.exe\"", NULL},
    // Backslashes before the closing quote: the word ends where that quote stands.
    {L"quenlark \"C:\\dir\\\\\" x", 0, L"C:\\dir\\", NULL},
    // Every UTF-16 code unit compares as it is.
    {L"quenlark /u жук.exe 😀", 1, L"жук.exe", L"жук.exe 😀"},
    {L"quenlark \xD800 x", 0, L"\xD800", L"\xD800 x"},
};

TEST(CommandText, StartsAtTheFirstWordAfterTheLaunchersOwnWords)
{
    for (const Case& c : Cases) {
        SCOPED_TRACE(c.commandLine);
        std::wstring commandLine = c.commandLine;
        wchar_t* found = FindCommandText(&commandLine[0], c.optionCount, c.firstWord);
        if (c.commandText == NULL)
            EXPECT_EQ(found, nullptr) << found;
        else
            EXPECT_STREQ(found, c.commandText);
    }
}

} // namespace
