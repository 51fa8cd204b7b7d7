#include "command_text.h"

#include <string.h>

static bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

static bool EndsWord(char c)
{
    return c == '\0' || IsBlank(c);
}

static const char* SkipBlanks(const char* p)
{
    while (IsBlank(*p))
        ++p;
    return p;
}

// The C runtime takes the program name by simpler rules than the other
// arguments: a quoted name ends at the next quote, an unquoted one at a blank.
static const char* SkipProgramName(const char* p)
{
    if (*p == '"') {
        const char* closingQuote = strchr(p + 1, '"');
        return closingQuote != NULL ? closingQuote + 1 : p + strlen(p);
    }
    while (!EndsWord(*p))
        ++p;
    return p;
}

// One argument by the C runtime's splitting rules: blanks inside double quotes
// belong to it, an odd run of backslashes makes the quote after it an ordinary
// character, and a doubled quote inside quotes is a literal quote that also
// ends the quoting.
static const char* SkipArgument(const char* p)
{
    bool insideQuotes = false;
    while (*p != '\0' && (insideQuotes || !IsBlank(*p))) {
        if (*p == '\\') {
            const char* backslashes = p;
            while (*p == '\\')
                ++p;
            if (*p == '"' && (p - backslashes) % 2 == 1)
                ++p;
            continue;
        }
        if (*p == '"') {
            if (insideQuotes && p[1] == '"')
                ++p;
            insideQuotes = !insideQuotes;
        }
        ++p;
    }
    return p;
}

static bool StandsUnquotedAt(const char* p, const char* word, size_t length)
{
    return strncmp(p, word, length) == 0 && EndsWord(p[length]);
}

// An unclosed quote runs to the end of the line, so the closing one may be missing.
static bool StandsQuotedAt(const char* p, const char* word, size_t length)
{
    if (p[0] != '"' || strncmp(p + 1, word, length) != 0)
        return false;
    const char* end = p + 1 + length;
    return *end == '\0' || (*end == '"' && EndsWord(end[1]));
}

char* FindCommandText(char* commandLine, int optionCount, const char* firstWord)
{
    const char* p = SkipBlanks(SkipProgramName(commandLine));
    for (int option = 0; option < optionCount; ++option)
        p = SkipBlanks(SkipArgument(p));

    size_t length = strlen(firstWord);
    if (!StandsUnquotedAt(p, firstWord, length) && !StandsQuotedAt(p, firstWord, length))
        return NULL;
    return commandLine + (p - commandLine);
}
