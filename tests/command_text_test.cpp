// Where the command text starts in the launcher's raw command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_text.h"

namespace {

struct Case {
    const wchar_t* commandLine;
    std::vector<const wchar_t*> arguments; // as the C runtime split them, up to the command's first word
    const wchar_t* commandText;            // NULL: not found
};

// Q's own path, for lines a caller made by naming the program apart.
#define Q L"C:\\q\\quenlark.exe"

const Case Cases[] = {
    {L"quenlark app.exe", {L"quenlark", L"app.exe"}, L"app.exe"},
    {L"quenlark  /u   app.exe   a   b ", {L"quenlark", L"/u", L"app.exe"}, L"app.exe   a   b "},
    {L"quenlark\t/u\t/S\tapp.exe\t/u", {L"quenlark", L"/u", L"/S", L"app.exe"}, L"app.exe\t/u"},
    // The word inside the launcher's own path or inside an option word.
    {L"C:\\tools\\quenlark.exe lark.exe", {L"C:\\tools\\quenlark.exe", L"lark.exe"}, L"lark.exe"},
    {L"C:\\py\\quenlark.exe py", {L"C:\\py\\quenlark.exe", L"py"}, L"py"},
    {L"quenlark /s s", {L"quenlark", L"/s", L"s"}, L"s"},
    {L"\"C:\\My Tools\\quenlark.exe\" /u app.exe", {L"C:\\My Tools\\quenlark.exe", L"/u", L"app.exe"}, L"app.exe"},
    {L"\"C:\\My Tools\\quenlark.exe\"app.exe x", {L"C:\\My Tools\\quenlark.exe", L"app.exe"}, L"app.exe x"},
    // Option words typed with quotes.
    {L"quenlark \"/u\" /\"S\" /u\"\" app.exe", {L"quenlark", L"/u", L"/S", L"/u", L"app.exe"}, L"app.exe"},
    // A quoted first word keeps its opening quote; an unclosed one runs to the end.
    {L"quenlark \"C:\\Program Files\\App\\app.exe\" -x", {L"quenlark", L"C:\\Program Files\\App\\app.exe"},
     L"\"C:\\Program Files\\App\\app.exe\" -x"},
    {L"quenlark \"C:\\a b\\app.exe", {L"quenlark", L"C:\\a b\\app.exe"}, L"\"C:\\a b\\app.exe"},
    // Words the runtime pieced together or unescaped do not stand there as typed.
    {L"quenlark \"app\"x.exe", {L"quenlark", L"appx.exe"}, NULL},
    {L"quenlark a\\\"b.exe", {L"quenlark", L"a\"b.exe"}, NULL},
    {L"quenlark app.exe\"\" x", {L"quenlark", L"app.exe"}, NULL},
    {L"quenlark \"app.exe\"x", {L"quenlark", L"app.exex"}, NULL},
    // The quoted part alone is not the word: the word ends at the closing quote.
    {L"quenlark \"app.exe\"x", {L"quenlark", L"app.exe"}, NULL},
    {L"quenlark app.exe", {L"quenlark", L"app"}, NULL},
    // A word holding a quote was typed with it escaped or doubled, so it never stands there as it was split.
    {L"quenlark \"app.exe\"\"", {L"quenlark", L"app.exe\""}, NULL},
    {L"quenlark \"app.exe\"\" x", {L"quenlark", L"app.exe\""}, NULL},
    // Backslashes before the closing quote: the word ends where that quote stands.
    {L"quenlark \"C:\\dir\\\\\" x", {L"quenlark", L"C:\\dir\\"}, NULL},
    // Every UTF-16 code unit compares as it is.
    {L"quenlark /u жук.exe 😀", {L"quenlark", L"/u", L"жук.exe"}, L"жук.exe 😀"},
    {L"quenlark \xD800 x", {L"quenlark", L"\xD800"}, L"\xD800 x"},
    // The program name as Windows' msvcrt.dll splits it (a quoted one ends at
    // its closing quote, an unquoted one at a blank) and by the general rule
    // (Wine's msvcrt: quotes open and close anywhere, and it ends at a blank
    // outside them); the runtime's own verdict tells which rule it followed.
    {L"\"" Q L"\"probe.exe probe.exe z", {Q, L"probe.exe"}, L"probe.exe probe.exe z"},
    {L"\"" Q L"\"probe.exe probe.exe z", {Q L"probe.exe", L"probe.exe"}, L"probe.exe z"},
    {L"\"" Q L"\"/s probe.exe", {Q, L"/s", L"probe.exe"}, L"probe.exe"},
    {L"\"" Q L"\"/s probe.exe", {Q L"/s", L"probe.exe"}, L"probe.exe"},
    {L"qu\"en lark\".exe /s probe.exe", {L"quen lark.exe", L"/s", L"probe.exe"}, L"probe.exe"},
    {L"qu\"en lark\".exe /s probe.exe", {L"qu\"en", L"lark.exe /s probe.exe"}, NULL},
    {L"\"\"x probe.exe", {L"x", L"probe.exe"}, L"probe.exe"},
    {L"\"\"x probe.exe", {L"", L"x"}, L"x probe.exe"},
    {L"\"Q\"\"\" x", {L"Q\"", L"x"}, L"x"}, // a doubled quote keeps the quoting open
    // Both rules give back the program name, yet end it apart (msvcrt.dll keeps
    // both backslashes, the general rule halves them and takes the next one):
    // which word is the command cannot be told.
    {L"\"C:\\q\\\\\"\\ x", {L"C:\\q\\\\", L"x"}, NULL},
    {L"\"C:\\q\\\\\"\\ x", {L"C:\\q\\\\", L"\\"}, NULL},
};

TEST(CommandText, StartsAtTheFirstWordAfterTheLaunchersOwnWords)
{
    for (const Case& c : Cases) {
        SCOPED_TRACE(c.commandLine);
        std::wstring commandLine = c.commandLine;
        std::vector<wchar_t*> arguments;
        for (const wchar_t* argument : c.arguments)
            arguments.push_back(const_cast<wchar_t*>(argument));
        arguments.push_back(NULL);
        int firstWord = static_cast<int>(c.arguments.size()) - 1;
        wchar_t* found = FindCommandText(&commandLine[0], arguments.data(), firstWord);
        if (c.commandText == NULL)
            EXPECT_EQ(found, nullptr) << found;
        else
            EXPECT_STREQ(found, c.commandText);
    }
}

} // namespace
