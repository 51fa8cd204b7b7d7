#include "command_text.h"

static bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t';
}

static bool EndsWord(wchar_t c)
{
    return c == L'\0' || IsBlank(c);
}

static const wchar_t* SkipBlanks(const wchar_t* p)
{
    while (IsBlank(*p))
        ++p;
    return p;
}

// The C runtime takes the program name by simpler rules than the other
// arguments: a quoted name ends at the next quote, an unquoted one at a blank.
static const wchar_t* SkipProgramName(const wchar_t* p)
{
    if (*p == L'"') {
        const wchar_t* closingQuote = wcschr(p + 1, L'"');
        return closingQuote != NULL ? closingQuote + 1 : p + wcslen(p);
    }
    while (!EndsWord(*p))
        ++p;
    return p;
}

// One argument by the C runtime's splitting rules: blanks inside double quotes
// belong to it, an odd run of backslashes makes the quote after it an ordinary
// character, and a doubled quote inside quotes is a literal quote that also
// ends the quoting.
static const wchar_t* SkipArgument(const wchar_t* p)
{
    bool insideQuotes = false;
    while (*p != L'\0' && (insideQuotes || !IsBlank(*p))) {
        if (*p == L'\\') {
            const wchar_t* backslashes = p;
            while (*p == L'\\')
                ++p;
            if (*p == L'"' && (p - backslashes) % 2 == 1)
                ++p;
            continue;
        }
        if (*p == L'"') {
            if (insideQuotes && p[1] == L'"')
                ++p;
            insideQuotes = !insideQuotes;
        }
        ++p;
    }
    return p;
}

static bool StandsUnquotedAt(const wchar_t* p, const wchar_t* word, size_t length)
{
    return wcsncmp(p, word, length) == 0 && EndsWord(p[length]);
}

// An unclosed quote runs to the end of the line, so the closing one may be missing.
static bool StandsQuotedAt(const wchar_t* p, const wchar_t* word, size_t length)
{
    if (p[0] != L'"' || wcsncmp(p + 1, word, length) != 0)
        return false;
    const wchar_t* end = p + 1 + length;
    return *end == L'\0' || (*end == L'"' && EndsWord(end[1]));
}

wchar_t* FindCommandText(wchar_t* commandLine, int optionCount, const wchar_t* firstWord)
{
    // A quote in the word was typed escaped or doubled: the word never stands
    // in the line as the new process would read it.
    if (wcschr(firstWord, L'"') != NULL)
        return NULL;

    const wchar_t* p = SkipBlanks(SkipProgramName(commandLine));
    for (int option = 0; option < optionCount; ++option)
        p = SkipBlanks(SkipArgument(p));

    size_t length = wcslen(firstWord);
    if (!StandsUnquotedAt(p, firstWord, length) && !StandsQuotedAt(p, firstWord, length))
        return NULL;
    return commandLine + (p - commandLine);
}
