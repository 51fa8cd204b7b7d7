// Every launch of quenlark.exe that the tests make, written once and run
// against each build, under Wine and from the test kit on Windows: the line
// that starts quenlark, and what that must come to (launch_checks.h). Prints
// each case and "N passed, N failed, N skipped", and leaves the totals.
#include <windows.h>
#include <stdio.h>

#include "launch_checks.h"
#include "support/result_totals.h"
#include "support/wine.h"

namespace {

// Where a case can be seen; elsewhere it is skipped, saying why.
enum Shown {
    Everywhere,
    WhereAffinityIsKept,
    WhereTheRunFolderHasNoBlank,
    WherePriorityClassesPass,
    WhereCtrlCReachesANewConsole,
    WherePowerShellIs,
    WhereSystem32IsRedirected,
};

struct LaunchCase {
    const char* name;
    const wchar_t* line;    // the command line that starts quenlark
    const wchar_t* program; // handed to CreateProcessW apart from the line; NULL: the line names it
    Outcome expected;       // on Windows
    Outcome underWine;      // where Wine differs: its msvcrt splits a command line by the general rule
    Shown shown;
};

constexpr Outcome Starts(const wchar_t* command)
{
    return {Started, command, 0};
}
constexpr Outcome StartsOnFirstProcessor(const wchar_t* command)
{
    return {StartedOnFirstProcessor, command, 0};
}
constexpr Outcome Fails(DWORD error)
{
    return {Reports, NULL, error};
}
constexpr Outcome Same = {AsOnWindows, NULL, 0};
constexpr Outcome Usage = {ShowsUsage, NULL, 0};

constexpr LaunchCase LaunchCases[] = {
    // The command as typed, options before it in either case and any order.
    {"HandsOnTheCommandAndReturnsItsProcessId", L"<q> probe.exe", NULL, Starts(L"probe.exe"), Same, Everywhere},
    {"TakesOptionsInEitherCaseAndTwice", L"<q> /u /U probe.exe a", NULL, StartsOnFirstProcessor(L"probe.exe a"), Same,
     Everywhere},
    {"OptionsAfterTheCommandBelongToIt", L"<q> probe.exe /u /s", NULL, Starts(L"probe.exe /u /s"), Same, Everywhere},
    {"KeepsBlanks", L"<q>  /u   probe.exe   a   b ", NULL, StartsOnFirstProcessor(L"probe.exe   a   b "), Same,
     Everywhere},
    {"KeepsQuotesAndEscapedQuotes", L"<q> \"probe.exe\" \"x  y\" \\\"z", NULL, Starts(L"\"probe.exe\" \"x  y\" \\\"z"),
     Same, Everywhere},
    {"SlashUConfinesTheProcessToTheFirstProcessor", L"<q> /u probe.exe", NULL, StartsOnFirstProcessor(L"probe.exe"),
     Same, WhereAffinityIsKept},
    {"SlashSLeavesTheProcessSuspended", L"<q> /S probe.exe", NULL, {LeftSuspended, L"probe.exe", 0}, Same, Everywhere},
    // Every UTF-16 code unit, whatever the code page. Best-fit mapping to the
    // ANSI code page would make the look-alikes "a b" in real quotes and a%1.
    {"KeepsEveryScript", L"<q> probe.exe жук 日本語 😀", NULL, Starts(L"probe.exe жук 日本語 😀"), Same, Everywhere},
    {"KeepsLookAlikesOfQuotes", L"<q> probe.exe ＂a b＂ ａ％１", NULL, Starts(L"probe.exe ＂a b＂ ａ％１"), Same, Everywhere},
    {"KeepsUnpairedSurrogates", L"<q> probe.exe a\xD800" L"b \xDC00", NULL, Starts(L"probe.exe a\xD800" L"b \xDC00"),
     Same, Everywhere},
    {"StartsAProgramInAFolderOutsideTheAnsiCodePage", L"<q> \"<run>\\Программы\\probe.exe\" ж", NULL,
     Starts(L"\"<run>\\Программы\\probe.exe\" ж"), Same, Everywhere},
    {"RunsFromAFolderOutsideTheAnsiCodePage", L"\"<run>\\日本語\\quenlark.exe\" /u \"<bin>\\probe.exe\" 😀", NULL,
     StartsOnFirstProcessor(L"\"<bin>\\probe.exe\" 😀"), Same, Everywhere},
    // Where the command starts in quenlark's own command line.
    {"QuotedPathWithBlanksKeepsItsQuotes", L"<q> \"<run>\\with space\\probe.exe\" -x \"a  b\"", NULL,
     Starts(L"\"<run>\\with space\\probe.exe\" -x \"a  b\""), Same, Everywhere},
    {"WordInTheLaunchersOwnPathIsNotTheCommand", L"<run>\\lark\\quenlark.exe lark.exe x", NULL, Starts(L"lark.exe x"),
     Same, WhereTheRunFolderHasNoBlank},
    // Lines of a caller that names the program apart. Windows' msvcrt.dll ends
    // a quoted program name at its closing quote and an unquoted one at a
    // blank; Wine's msvcrt splits it like any other argument.
    {"ProgramNameJoinedToAWord", L"\"<bin>\\quenlark.exe\"probe.exe probe.exe z", L"<bin>\\quenlark.exe",
     Starts(L"probe.exe probe.exe z"), Starts(L"probe.exe z"), Everywhere},
    {"ProgramNameJoinedToAnOption", L"\"<bin>\\quenlark.exe\"/u probe.exe", L"<bin>\\quenlark.exe",
     StartsOnFirstProcessor(L"probe.exe"), Starts(L"probe.exe"), Everywhere},
    {"OtherProgramNameJoinedToAnOption", L"\"x\"/u probe.exe", L"<bin>\\quenlark.exe",
     StartsOnFirstProcessor(L"probe.exe"), Starts(L"probe.exe"), Everywhere},
    {"ProgramNameQuotedInTheMiddle", L"qu\"en lark\".exe /u probe.exe", L"<bin>\\quenlark.exe", Fails(0),
     StartsOnFirstProcessor(L"probe.exe"), Everywhere},
    {"ProgramNameAfterAnEmptyQuote", L"\"\"x probe.exe", L"<bin>\\quenlark.exe", Fails(0), Starts(L"probe.exe"),
     Everywhere},
    // What Windows does around the launch.
    {"NewProcessRunsAtTheLaunchersPriorityClass", L"<q> probe.exe", NULL, {StartedAboveNormal, L"probe.exe", 0}, Same,
     WherePriorityClassesPass},
    {"CtrlCStartsOutIgnoredInTheNewProcessGroup", L"<q> probe.exe", NULL, {StartedWithCtrlCIgnored, L"probe.exe", 0},
     Same, WhereCtrlCReachesANewConsole},
    {"TheReadmesPowerShellResumesAProcessLeftSuspended", L"<q> /s probe.exe", NULL,
     {ResumedByTheReadme, L"probe.exe", 0}, Same, WherePowerShellIs},
    {"X86LauncherStartsSystem32ProgramsAs32BitOnes", L"<q> /s <windir>\\System32\\cmd.exe /c exit", NULL,
     {StartedAs32Bit, NULL, 0}, Same, WhereSystem32IsRedirected},
    // No command: the usage text, and nothing started.
    {"ShowsUsageWhenThereIsNoCommand", L"<q>", NULL, Usage, Same, Everywhere},
    {"ShowsUsageAfterOptionsAlone", L"<q> /u", NULL, Usage, Same, Everywhere},
    {"ShowsUsageAfterBothOptionsAlone", L"<q> /s /U", NULL, Usage, Same, Everywhere},
    {"ShowsUsageForAnEmptyCommandWord", L"<q> \"\"", NULL, Usage, Same, Everywhere},
    {"ShowsUsageForAnEmptyWordBeforeTheCommand", L"<q> /u \"\" probe.exe", NULL, Usage, Same, Everywhere},
    // What kept the process from starting, in the system's words.
    {"ReportsAMissingProgram", L"<q> no-such-program.exe", NULL, Fails(ERROR_FILE_NOT_FOUND), Same, Everywhere},
    {"SlashQuestionMarkIsACommand", L"<q> /?", NULL, Fails(0), Same, Everywhere},
    {"DashUIsACommand", L"<q> -u probe.exe", NULL, Fails(0), Same, Everywhere},
    {"OptionsRunTogetherAreACommand", L"<q> /s/u probe.exe", NULL, Fails(0), Same, Everywhere},
    {"RefusesAWordPiecedTogether", L"<q> \"pro\"be.exe", NULL, Fails(ERROR_INVALID_PARAMETER), Same, Everywhere},
    {"RefusesAWordHoldingAQuote", L"<q> \"probe.exe\"\"", NULL, Fails(ERROR_INVALID_PARAMETER), Same, Everywhere},
    {"KeepsTheInsertReferenceOfTheSystemsText", L"<q> \"<run>\\text\\not-a-program.exe\"", NULL,
     Fails(ERROR_BAD_EXE_FORMAT), Same, Everywhere},
    // Expanded, "prob?.exe" would be "probe.exe", which is not in the line.
    {"LeavesWildcardsAlone", L"<q> prob?.exe", NULL, {ReportsOtherThan, NULL, ERROR_INVALID_PARAMETER}, Same,
     Everywhere},
    // Windows' text for this error is long enough to wrap; Wine's is short.
    {"WrapsAReportOfAProgramInUse", L"<q> \"<run>\\locked\\probe.exe\"", NULL, Fails(ERROR_SHARING_VIOLATION), Same,
     Everywhere},
};

// Why a case cannot be seen here, or NULL where it can.
const char* NotShownHere(Shown shown)
{
    BOOL wow64 = FALSE;
    switch (shown) {
    case WhereAffinityIsKept:
        return AffinityIsKept() ? NULL : "Wine for ARM64 gives a new process every processor, whatever was set";
    case WhereTheRunFolderHasNoBlank:
        return RunFolderHasABlank() ? "the temporary folder has a blank; this case needs quenlark's path unquoted" : NULL;
    case WherePriorityClassesPass:
        return RunningUnderWine() ? "Wine ignores priority classes given to CreateProcess" : NULL;
    case WhereCtrlCReachesANewConsole:
        return RunningUnderWine() ? "Wine delivers neither Ctrl+C nor Ctrl+Break raised on a new console" : NULL;
    case WherePowerShellIs:
        return RunningUnderWine() ? "Wine has no PowerShell" : NULL;
    case WhereSystem32IsRedirected:
        return sizeof(void*) == 4 && IsWow64Process(GetCurrentProcess(), &wow64) && wow64
                   ? NULL
                   : "only a 32-bit program on 64-bit Windows has System32 redirected";
    default:
        return NULL;
    }
}

} // namespace

int wmain(int, wchar_t**, wchar_t**)
{
    const char* platform = RunningUnderWine() ? "under Wine " : "on Windows";
    printf("quenlark.exe end to end, %u-bit build, %s%s\n", static_cast<unsigned>(8 * sizeof(void*)), platform,
           RunningUnderWine() ? WineVersion() : "");
    ResultTotals totals = {0, 0, 0};
    bool setUp = SetUpLaunchFolders();
    for (const LaunchCase& c : LaunchCases) {
        if (!setUp)
            break;
        printf("%s\n", c.name);
        const char* notShown = NotShownHere(c.shown);
        const Outcome& expected = RunningUnderWine() && c.underWine.kind != AsOnWindows ? c.underWine : c.expected;
        if (notShown != NULL) {
            printf("  skipped: %s\n", notShown);
            ++totals.skipped;
        } else if (CheckLaunch(c.line, c.program, expected)) {
            ++totals.passed;
        } else {
            ++totals.failed;
        }
        fflush(stdout);
    }
    if (!setUp)
        ++totals.failed;
    RemoveLaunchFolders();
    printf(ResultTotalsLine, totals.passed, totals.failed, totals.skipped);
    WriteResultTotals(totals);
    return totals.failed == 0 ? 0 : 1;
}
