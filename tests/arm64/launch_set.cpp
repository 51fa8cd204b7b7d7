// The launcher end to end, for builds that have no C++ runtime (ARM64): runs
// quenlark.exe, found beside this program, on this same program in its probe
// role, and checks what reached the probe. Prints a line for each case and
// "N passed, N failed, N skipped", which it also leaves for the test kit's
// runner (support/result_totals.h); exits 0 only when every case passed.
// Started as a probe (probe/probe_role.h), it is the probe of
// probe/probe_role.h, as probe.exe is for the other builds.
#include <windows.h>
#include <stdio.h>
#include <wchar.h>

#include "probe/probe_role.h"
#include "probe/probe_session.h"
#include "support/first_thread.h"
#include "support/result_totals.h"
#include "support/wine.h"

static const DWORD PipeSize = 65536;

// Text buffers stay small, or static: a frame of 4 KB or more needs a stack
// probe (__chkstk), which comes from a runtime this build does not have.
struct Run {
    DWORD exitStatus;
    char output[512];
    char errors[512];
};

static wchar_t ownFolder[MAX_PATH];
static wchar_t ownPath[MAX_PATH];
static wchar_t reportPath[MAX_PATH];
static wchar_t temporaryFolder[MAX_PATH];
static unsigned passed, failed, skipped;

// ---- The tests ----

static void Check(const char* testCase, bool condition, const char* what)
{
    if (condition)
        return;
    printf("  %s: %s\n", testCase, what);
    ++failed;
}

static void ReadWhatIsThere(HANDLE pipe, char* bytes, DWORD size)
{
    DWORD available = 0, count = 0, total = 0;
    while (total + 1 < size && PeekNamedPipe(pipe, NULL, 0, NULL, &available, NULL) && available > 0 &&
           ReadFile(pipe, bytes + total, size - 1 - total, &count, NULL) && count > 0)
        total += count;
    bytes[total] = '\0';
}

// Runs quenlark with these arguments to its end, with pipes for its output.
static bool RunLauncher(const wchar_t* arguments, Run* run)
{
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, NULL, TRUE};
    HANDLE outputRead, outputWrite, errorsRead, errorsWrite;
    if (!CreatePipe(&outputRead, &outputWrite, &inheritable, PipeSize) ||
        !CreatePipe(&errorsRead, &errorsWrite, &inheritable, PipeSize))
        return false;
    SetHandleInformation(outputRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errorsRead, HANDLE_FLAG_INHERIT, 0);
    static wchar_t commandLine[1024];
    _snwprintf(commandLine, 1023, L"\"%ls\\quenlark.exe\"%ls", ownFolder, arguments);
    commandLine[1023] = L'\0';
    STARTUPINFOW startupInfo = {};
    startupInfo.cb = sizeof startupInfo;
    startupInfo.dwFlags = STARTF_USESTDHANDLES;
    startupInfo.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startupInfo.hStdOutput = outputWrite;
    startupInfo.hStdError = errorsWrite;
    PROCESS_INFORMATION process;
    BOOL created =
        CreateProcessW(NULL, commandLine, NULL, NULL, TRUE, 0, NULL, NULL, &startupInfo, &process);
    CloseHandle(outputWrite);
    CloseHandle(errorsWrite);
    if (created) {
        WaitForSingleObject(process.hProcess, 60000);
        GetExitCodeProcess(process.hProcess, &run->exitStatus);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    ReadWhatIsThere(outputRead, run->output, sizeof run->output);
    ReadWhatIsThere(errorsRead, run->errors, sizeof run->errors);
    CloseHandle(outputRead);
    CloseHandle(errorsRead);
    return created != 0;
}

// The value of `name` in the probe's report, or an empty text.
static void ReportValue(const wchar_t* name, wchar_t* value, size_t size)
{
    static wchar_t report[2048];
    value[0] = L'\0';
    HANDLE file = CreateFileW(reportPath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD count = 0;
    ReadFile(file, report, sizeof report - sizeof(wchar_t), &count, NULL);
    CloseHandle(file);
    report[count / sizeof(wchar_t)] = L'\0';
    size_t nameLength = wcslen(name);
    for (wchar_t* line = report; *line != L'\0';) {
        wchar_t* end = wcschr(line, L'\n');
        if (end == NULL)
            break;
        if (wcsncmp(line, name, nameLength) == 0 && line[nameLength] == L'=') {
            size_t length = static_cast<size_t>(end - line) - nameLength - 1;
            if (length >= size)
                length = size - 1;
            wcsncpy(value, line + nameLength + 1, length);
            value[length] = L'\0';
            return;
        }
        line = end + 1;
    }
}

// Whether the report's `name` is `expected`; says what it was when not.
static bool ReportIs(const wchar_t* name, const wchar_t* expected)
{
    wchar_t value[512];
    ReportValue(name, value, 512);
    if (wcscmp(value, expected) == 0)
        return true;
    wprintf(L"  the probe's %ls was \"%ls\", expected \"%ls\"\n", name, value, expected);
    return false;
}

static void Begin(const char* testCase, const char* skipReason = NULL)
{
    printf("%s\n", testCase);
    if (skipReason != NULL)
        printf("  skipped: %s\n", skipReason);
}

static void End(unsigned failedBefore)
{
    if (failed == failedBefore)
        ++passed;
}

static void Skip(const char* testCase, const char* reason)
{
    Begin(testCase, reason);
    ++skipped;
}

// The command reaches the probe exactly as typed, and the exit status is its id.
static void HandsOnTheCommandAsTyped(const char* testCase, const wchar_t* options, bool firstProcessorOnly)
{
    unsigned failedBefore = failed;
    Begin(testCase);
    static wchar_t command[512], arguments[600];
    wchar_t expected[32];
    _snwprintf(command, 511, L"\"%ls\"  \"a  b\" \\\"c \u0436\u0443\u043a \U0001F600", ownPath);
    _snwprintf(arguments, 599, L"%ls %ls", options, command);
    ProbeSession events = PrepareProbe(temporaryFolder);
    wcscpy(reportPath, events.reportPath);
    Run run = {};
    Check(testCase, RunLauncher(arguments, &run), "quenlark could not be started");
    bool reported = AwaitProbe(events, run.exitStatus);
    Check(testCase, reported, "the probe did not report");
    if (reported) {
        _snwprintf(expected, 31, L"%lu", run.exitStatus);
        Check(testCase, ReportIs(L"pid", expected), "the exit status is not the probe's process id");
        Check(testCase, ReportIs(L"commandline", command), "the command did not arrive as typed");
        if (firstProcessorOnly)
            Check(testCase, ReportIs(L"affinity", L"1"), "/u did not set the affinity to 1");
    }
    Check(testCase, run.errors[0] == '\0', "quenlark wrote to standard error");
    ReleaseProbe(events, run.exitStatus);
    End(failedBefore);
}

static void SlashSLeavesTheProcessSuspended()
{
    const char* testCase = "SlashSLeavesTheProcessSuspended";
    unsigned failedBefore = failed;
    Begin(testCase);
    wchar_t arguments[400];
    _snwprintf(arguments, 399, L" /s \"%ls\"", ownPath);
    ProbeSession events = PrepareProbe(temporaryFolder);
    wcscpy(reportPath, events.reportPath);
    Run run = {};
    Check(testCase, RunLauncher(arguments, &run) && run.exitStatus != 0, "quenlark started no process");
    Check(testCase, WaitForSingleObject(events.ready, 1000) == WAIT_TIMEOUT, "the probe ran");
    HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, FirstThreadOf(run.exitStatus));
    Check(testCase, thread != NULL && ResumeThread(thread) == 1, "its thread was not suspended once");
    if (thread != NULL)
        CloseHandle(thread);
    Check(testCase, AwaitProbe(events, run.exitStatus), "the probe did not report once resumed");
    ReleaseProbe(events, run.exitStatus);
    End(failedBefore);
}

// Where quenlark starts nothing: exit status 0, and on standard output and
// standard error these texts, the second's start (empty: nothing at all).
static void StartsNothing(const char* testCase, const wchar_t* arguments, const char* output, const char* errorsStart)
{
    unsigned failedBefore = failed;
    Begin(testCase);
    Run run = {};
    Check(testCase, RunLauncher(arguments, &run) && run.exitStatus == 0, "the exit status is not 0");
    Check(testCase, strcmp(run.output, output) == 0, "standard output is not as it should be");
    size_t length = strlen(run.errors);
    Check(testCase, errorsStart[0] == '\0' ? length == 0
                                           : strncmp(run.errors, errorsStart, strlen(errorsStart)) == 0 &&
                                                 length > strlen(errorsStart) + 2 &&
                                                 strcmp(run.errors + length - 2, "\r\n") == 0,
          "standard error is not as it should be");
    if (failed != failedBefore)
        printf("  standard output: \"%s\"\n  standard error: \"%s\"\n", run.output, run.errors);
    End(failedBefore);
}

// The launcher inherits an inheritable pipe's write end; once it has ended,
// only the probe could still hold it. The probe is on a console of its own,
// not on this program's, which the launcher shares.
static void NewProcessHasItsOwnConsoleAndNoHandle()
{
    const char* testCase = "NewProcessHasItsOwnConsoleAndNoHandle";
    unsigned failedBefore = failed;
    Begin(testCase);
    DWORD processes[4];
    if (GetConsoleProcessList(processes, 4) == 0) {
        FreeConsole();
        AllocConsole();
    }
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, NULL, TRUE};
    HANDLE readEnd, writeEnd;
    Check(testCase, CreatePipe(&readEnd, &writeEnd, &inheritable, 0) != 0, "no pipe");
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    wchar_t arguments[400], own[32];
    _snwprintf(arguments, 399, L" \"%ls\"", ownPath);
    ProbeSession events = PrepareProbe(temporaryFolder);
    wcscpy(reportPath, events.reportPath);
    Run run = {};
    RunLauncher(arguments, &run);
    CloseHandle(writeEnd);
    bool reported = AwaitProbe(events, run.exitStatus);
    Check(testCase, reported, "the probe did not report");
    DWORD available = 0;
    Check(testCase, !PeekNamedPipe(readEnd, NULL, 0, NULL, &available, NULL) && GetLastError() == ERROR_BROKEN_PIPE,
          "the probe holds the inherited pipe");
    wchar_t console[256], pid[32];
    ReportValue(L"console", console, 256);
    ReportValue(L"pid", pid, 32);
    wcscat(pid, L",");
    _snwprintf(own, 31, L"%lu,", GetCurrentProcessId());
    Check(testCase, reported && wcsstr(console, pid) != NULL, "the probe is not on its console's list");
    Check(testCase, wcsstr(console, own) == NULL, "the probe shares this program's console");
    ReleaseProbe(events, run.exitStatus);
    CloseHandle(readEnd);
    End(failedBefore);
}

int wmain(int, wchar_t**, wchar_t**)
{
    wchar_t variable[8];
    if (GetEnvironmentVariableW(ProbeReportVariable, variable, 8) > 0)
        return RunProbe();

    GetModuleFileNameW(NULL, ownPath, MAX_PATH);
    wcscpy(ownFolder, ownPath);
    *wcsrchr(ownFolder, L'\\') = L'\0';
    DWORD length = GetTempPathW(MAX_PATH, temporaryFolder);
    if (length > 0 && length < MAX_PATH)
        temporaryFolder[length - 1] = L'\0'; // its closing backslash

    HandsOnTheCommandAsTyped("HandsOnTheCommandAsTypedAndReturnsItsProcessId", L"", false);
    if (RunningUnderWine())
        Skip("SlashUSetsTheAffinityToTheFirstProcessor",
             "Wine for ARM64 (here under qemu-aarch64) gives a new process every processor whatever was set");
    else
        HandsOnTheCommandAsTyped("SlashUSetsTheAffinityToTheFirstProcessor", L"/u", true);
    SlashSLeavesTheProcessSuspended();
    StartsNothing("ShowsUsageWhenThereIsNoCommand", L"",
                  "Creates a process and returns process id.\r\nSyntax:\r\n\r\nquenlark [/u] [/s] commandline\r\n\r\n"
                  "/u    Run on first processor only.\r\n/s    Create suspended.\r\n",
                  "");
    StartsNothing("ReportsAMissingProgram", L" no-such-program.exe", "", "Error creating process: ");
    NewProcessHasItsOwnConsoleAndNoHandle();

    ResultTotals totals = {passed, failed, skipped};
    printf(ResultTotalsLine, passed, failed, skipped);
    WriteResultTotals(totals);
    return failed == 0 ? 0 : 1;
}
