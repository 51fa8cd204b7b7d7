#include "command_text.h"

// C runtimes split a command line by one of two rules:
// - Windows' msvcrt.dll takes the program name simply (a quoted name ends at
//   the next quote, an unquoted one at a blank, quotes and all), and a doubled
//   quote inside quotes is a literal quote that ends the quoting;
// - the general rule (Wine's msvcrt) splits the program name like every other
//   argument, and a doubled quote inside quotes is a literal quote that keeps
//   the quoting open.
// A runtime that follows neither gives back words that no rule here yields,
// and nothing is started.
enum SplittingRule { MsvcrtDllRule, GeneralRule };

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

// Compares a character the rule yields with the next one of the argument the
// runtime made, moving past it. False when they differ.
static bool MatchCharacter(wchar_t c, const wchar_t** argument)
{
    if (**argument != c)
        return false;
    ++*argument;
    return true;
}

static bool MatchText(const wchar_t* p, size_t length, const wchar_t** argument)
{
    for (size_t i = 0; i < length; ++i)
        if (!MatchCharacter(p[i], argument))
            return false;
    return true;
}

// Walks one argument by `rule` from `p`: blanks inside double quotes belong to
// it, and backslashes are literal except before a quote, where each pair is one
// backslash and an odd one left over makes the quote an ordinary character.
// Returns where the argument ends when it yields exactly `argument`, else NULL.
static const wchar_t* MatchArgument(const wchar_t* p, const wchar_t* argument, SplittingRule rule)
{
    bool insideQuotes = false;
    while (*p != L'\0' && (insideQuotes || !IsBlank(*p))) {
        if (*p == L'\\') {
            const wchar_t* backslashes = p;
            while (*p == L'\\')
                ++p;
            size_t count = static_cast<size_t>(p - backslashes);
            bool beforeQuote = *p == L'"';
            if (!MatchText(backslashes, beforeQuote ? count / 2 : count, &argument))
                return NULL;
            if (beforeQuote && count % 2 == 1) {
                if (!MatchCharacter(L'"', &argument))
                    return NULL;
                ++p;
            }
            continue;
        }
        if (*p == L'"' && insideQuotes && p[1] == L'"') {
            if (!MatchCharacter(L'"', &argument))
                return NULL;
            p += 2;
            insideQuotes = rule == GeneralRule;
            continue;
        }
        if (*p == L'"')
            insideQuotes = !insideQuotes;
        else if (!MatchCharacter(*p, &argument))
            return NULL;
        ++p;
    }
    return *argument == L'\0' ? p : NULL;
}

// Where the program name ends when `rule` yields exactly `programName`, else NULL.
static const wchar_t* MatchProgramName(const wchar_t* p, const wchar_t* programName, SplittingRule rule)
{
    if (rule == GeneralRule)
        return MatchArgument(p, programName, rule);

    const wchar_t* start = p;
    const wchar_t* end;
    if (*p == L'"') {
        start = ++p;
        while (*p != L'\0' && *p != L'"')
            ++p;
        end = *p == L'"' ? p + 1 : p;
    } else {
        while (!EndsWord(*p))
            ++p;
        end = p;
    }
    return MatchText(start, static_cast<size_t>(p - start), &programName) && *programName == L'\0' ? end : NULL;
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

// Where the command's first word starts if the runtime split the line by
// `rule`, or NULL when that rule does not yield the launcher's own words.
static const wchar_t* SkipLaunchersWords(const wchar_t* commandLine, wchar_t** arguments, int firstWord,
                                         SplittingRule rule)
{
    const wchar_t* p = MatchProgramName(commandLine, arguments[0], rule);
    for (int option = 1; p != NULL && option < firstWord; ++option)
        p = MatchArgument(SkipBlanks(p), arguments[option], rule);
    return p != NULL ? SkipBlanks(p) : NULL;
}

wchar_t* FindCommandText(wchar_t* commandLine, wchar_t** arguments, int firstWord)
{
    // A quote in the word was typed escaped or doubled: the word never stands
    // in the line as the new process would read it.
    const wchar_t* word = arguments[firstWord];
    if (wcschr(word, L'"') != NULL)
        return NULL;

    // The runtime does not say which rule it followed; a rule that does not
    // give back the launcher's words was not the one. Should both give them
    // back yet end them apart, the command cannot be placed for sure.
    const wchar_t* byMsvcrtDll = SkipLaunchersWords(commandLine, arguments, firstWord, MsvcrtDllRule);
    const wchar_t* byGeneralRule = SkipLaunchersWords(commandLine, arguments, firstWord, GeneralRule);
    if (byMsvcrtDll != NULL && byGeneralRule != NULL && byMsvcrtDll != byGeneralRule)
        return NULL;
    const wchar_t* p = byMsvcrtDll != NULL ? byMsvcrtDll : byGeneralRule;
    if (p == NULL)
        return NULL;

    size_t length = wcslen(word);
    if (!StandsUnquotedAt(p, word, length) && !StandsQuotedAt(p, word, length))
        return NULL;
    return commandLine + (p - commandLine);
}
