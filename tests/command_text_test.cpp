// Where the command text starts in the launcher's raw command line.
#include <gtest/gtest.h>

#include <string>

#include "command_text.h"

namespace {

struct Case {
    const char* commandLine;
    int optionCount;
    const char* firstWord; // as the C runtime split it
    const char* commandText; // NULL: not found
};

const Case Cases[] = {
    {"quenlark app.exe", 0, "app.exe", "app.exe"},
    {"quenlark  /u   app.exe   a   b ", 1, "app.exe", "app.exe   a   b "},
    {"quenlark\t/u\t/S\tapp.exe\t/u", 2, "app.exe", "app.exe\t/u"},
    // The word inside the launcher's own path or inside an option word.
    {"C:\\tools\\quenlark.exe lark.exe", 0, "lark.exe", "lark.exe"},
    {"C:\\py\\quenlark.exe py", 0, "py", "py"},
    {"quenlark /s s", 1, "s", "s"},
    // A quoted program name ends at its closing quote, even with no blank after it.
    {"\"C:\\My Tools\\quenlark.exe\" /u app.exe", 1, "app.exe", "app.exe"},
    {"\"C:\\My Tools\\quenlark.exe\"app.exe x", 0, "app.exe", "app.exe x"},
    // Option words typed with quotes.
    {"quenlark \"/u\" /\"S\" /u\"\" app.exe", 3, "app.exe", "app.exe"},
    // A quoted first word keeps its opening quote; an unclosed one runs to the end.
    {"quenlark \"C:\\Program Files\\App\\app.exe\" -x", 0, "C:\\Program Files\\App\\app.exe",
     "\"C:\\Program Files\\App\\app.exe\" -x"},
    {"quenlark \"C:\\a b\\app.exe", 0, "C:\\a b\\app.exe", "\"C:\\a b\\app.exe"},
    // Words the runtime pieced together or unescaped do not stand there as typed.
    {"quenlark \"app\"x.exe", 0, "appx.exe", NULL},
    {"quenlark a\\\"b.exe", 0, "a\"b.exe", NULL},
    {"quenlark app.exe\"\" x", 0, "app.exe", NULL},
    {"quenlark \"app.exe\"x", 0, "app.exex", NULL},
    {"quenlark app.exe", 0, "app", NULL},
};

TEST(CommandText, StartsAtTheFirstWordAfterTheLaunchersOwnWords)
{
    for (const Case& c : Cases) {
        SCOPED_TRACE(c.commandLine);
        std::string commandLine = c.commandLine;
        char* found = FindCommandText(&commandLine[0], c.optionCount, c.firstWord);
        if (c.commandText == NULL)
            EXPECT_EQ(found, nullptr) << found;
        else
            EXPECT_STREQ(found, c.commandText);
    }
}

} // namespace
