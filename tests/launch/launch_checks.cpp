#include "launch_checks.h"

#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include "probe/probe_role.h"
#include "readme_snippets.h"
#include "support/expected_report.h"
#include "support/first_thread.h"
#include "support/folder_tree.h"
#include "support/kill_on_close_job.h"
#include "support/wine_retries.h"

// Pipes large enough for all a launcher writes, so that it never waits on them.
static const DWORD PipeSize = 65536;

static wchar_t binFolder[MAX_PATH], runFolder[MAX_PATH], windowsFolder[MAX_PATH];
static wchar_t quotedLauncher[MAX_PATH + 16];
static HANDLE startedPrograms; // a job whose processes end with the case
static HANDLE lockedProgram;   // held with no sharing, so that no one can run it

// The launch under way, the probe it is to start, and what came of it.
static wchar_t line[4096], program[MAX_PATH], command[4096];
static wchar_t probeName[64], reportPath[MAX_PATH];
static HANDLE probeReady, probeRelease;
static DWORD exitStatus;
static HANDLE startedProcess; // the one whose id quenlark returned, once known to be this case's
static char output[8192], errors[8192];
static HANDLE outputRead, errorsRead;
static wchar_t report[8192];
static bool caseFailed;

// _snwprintf, always terminated. The values go on as they are: ARM64 Wine's
// msvcrt misreads a va_list handed to it.
template <typename... Values>
static void FormatText(wchar_t* text, size_t size, const wchar_t* format, Values... values)
{
    _snwprintf(text, size - 1, format, values...);
    text[size - 1] = L'\0';
}

static bool Check(bool condition, const char* what)
{
    if (!condition)
        printf("  %s\n", what);
    caseFailed = caseFailed || !condition;
    return condition;
}

// Plain ASCII as it stands, every other code unit as \uXXXX.
static void PrintText(const char* name, const wchar_t* text)
{
    printf("  %s: ", name);
    for (; *text != L'\0'; ++text)
        printf(*text >= L' ' && *text < 0x7F ? "%c" : "\\u%04x", static_cast<unsigned>(*text));
    printf("\n");
}

static void PrintBytes(const char* name, const char* bytes)
{
    printf("  %s: \"", name);
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes); *p != '\0'; ++p)
        printf(*p >= ' ' && *p < 0x7F ? "%c" : "\\x%02x", static_cast<unsigned>(*p));
    printf("\"\n");
}

// What a failed case says of its launch.
static void DescribeLaunch()
{
    PrintText("command line", line);
    printf("  exit status: %lu\n", exitStatus);
    PrintBytes("standard output", output);
    PrintBytes("standard error", errors);
    PrintText("the probe's report", report[0] != L'\0' ? report : L"(none)");
    PrintText("the command expected", command);
}

// `pattern` with the run's folders in place of their names (launch_checks.h).
static void Expand(const wchar_t* pattern, wchar_t* text, size_t size)
{
    const wchar_t* names[] = {L"<q>", L"<bin>", L"<run>", L"<windir>"};
    const wchar_t* values[] = {quotedLauncher, binFolder, runFolder, windowsFolder};
    size_t length = 0;
    while (*pattern != L'\0' && length + 1 < size) {
        size_t name = 0;
        while (name < 4 && wcsncmp(pattern, names[name], wcslen(names[name])) != 0)
            ++name;
        if (name == 4) {
            text[length++] = *pattern++;
            continue;
        }
        for (const wchar_t* value = values[name]; *value != L'\0' && length + 1 < size; ++value)
            text[length++] = *value;
        pattern += wcslen(names[name]);
    }
    text[length] = L'\0';
}

// The launcher shares this program's console: a new process on it would show.
static bool UseAConsole()
{
    DWORD processes[4];
    return GetConsoleProcessList(processes, 4) != 0 || OpenOwnConsole();
}

// The copies the cases start: in folders named outside the ANSI code page,
// with a blank, and under another name; a file that is no program; a program
// no one can open.
static bool CopyPrograms()
{
    const wchar_t* folders[] = {L"", L"\\reports", L"\\Программы", L"\\日本語", L"\\with space", L"\\lark", L"\\text",
                                L"\\locked"};
    const wchar_t* copies[][2] = {
        {L"probe.exe", L"<run>\\Программы\\probe.exe"}, {L"quenlark.exe", L"<run>\\日本語\\quenlark.exe"},
        {L"probe.exe", L"<run>\\with space\\probe.exe"}, {L"quenlark.exe", L"<run>\\lark\\quenlark.exe"},
        {L"probe.exe", L"<run>\\lark\\lark.exe"},        {L"probe.exe", L"<run>\\locked\\probe.exe"}};
    wchar_t from[MAX_PATH], to[MAX_PATH];
    for (const wchar_t* folder : folders) {
        FormatText(to, MAX_PATH, L"%ls%ls", runFolder, folder);
        if (!CreateDirectoryW(to, NULL))
            return false;
    }
    for (const wchar_t* const* copy : copies) {
        FormatText(from, MAX_PATH, L"%ls\\%ls", binFolder, copy[0]);
        Expand(copy[1], to, MAX_PATH);
        if (!CopyFileW(from, to, FALSE))
            return false;
    }
    Expand(L"<run>\\text\\not-a-program.exe", to, MAX_PATH);
    HANDLE text = CreateFileW(to, GENERIC_WRITE, 0, NULL, CREATE_NEW, 0, NULL);
    DWORD written = 0;
    if (text == INVALID_HANDLE_VALUE || !WriteFile(text, "just text\r\n", 11, &written, NULL) || !CloseHandle(text))
        return false;
    Expand(L"<run>\\locked\\probe.exe", to, MAX_PATH);
    lockedProgram = CreateFileW(to, GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    return lockedProgram != INVALID_HANDLE_VALUE;
}

bool SetUpLaunchFolders()
{
    DWORD length = GetModuleFileNameW(NULL, binFolder, MAX_PATH);
    if (!Check(length > 0 && length < MAX_PATH, "this program's folder cannot be told"))
        return false;
    *wcsrchr(binFolder, L'\\') = L'\0';
    FormatText(quotedLauncher, MAX_PATH + 16, L"\"%ls\\quenlark.exe\"", binFolder);
    GetWindowsDirectoryW(windowsFolder, MAX_PATH);
    // Wine hands out the same process ids again once its server has
    // restarted: the tick count tells runs apart.
    wchar_t temporary[MAX_PATH];
    length = GetTempPathW(MAX_PATH, temporary);
    if (!Check(length > 0 && length < MAX_PATH, "no temporary folder"))
        return false;
    FormatText(runFolder, MAX_PATH, L"%lsquenlark-launch-%lu-%lu", temporary, GetCurrentProcessId(), GetTickCount());
    startedPrograms = CreateKillOnCloseJob();
    return Check(startedPrograms != NULL, "no job can hold what the cases start") &&
           Check(CopyPrograms(), "the run's folders and programs cannot be made") &&
           Check(SetCurrentDirectoryW(binFolder) != 0, "quenlark's folder cannot be the current directory") &&
           Check(UseAConsole(), "this program has no console and cannot make one");
}

void RemoveLaunchFolders()
{
    CloseHandle(lockedProgram);
    RemoveFolderTree(runFolder);
}

bool RunFolderHasABlank()
{
    return wcschr(runFolder, L' ') != NULL;
}

bool AffinityIsKept()
{
#if defined(__aarch64__)
    return !RunningUnderWine();
#else
    return true;
#endif
}

// Names the next probe's report and events, makes the events, and hands them
// and a variable to report down through quenlark's environment.
static void PrepareProbe(OutcomeKind kind)
{
    static unsigned probeCount = 0;
    wchar_t text[MAX_PATH];
    FormatText(probeName, 64, L"quenlark-probe-%lu-%u", GetCurrentProcessId(), ++probeCount);
    FormatText(reportPath, MAX_PATH, L"%ls\\reports\\%ls.txt", runFolder, probeName);
    FormatText(text, MAX_PATH, L"%ls%ls", probeName, ProbeReadySuffix);
    probeReady = CreateEventW(NULL, TRUE, FALSE, text);
    FormatText(text, MAX_PATH, L"%ls%ls", probeName, ProbeReleaseSuffix);
    probeRelease = CreateEventW(NULL, TRUE, FALSE, text);
    FormatText(text, MAX_PATH, L"inherited %ls", probeName);
    Check(probeReady != NULL && probeRelease != NULL && SetEnvironmentVariableW(ProbeReportVariable, reportPath) &&
              SetEnvironmentVariableW(ProbeEventsVariable, probeName) &&
              SetEnvironmentVariableW(ProbeVariableVariable, text) &&
              SetEnvironmentVariableW(ProbeControlEventsVariable, kind == StartedWithCtrlCIgnored ? L"1" : NULL),
          "the probe's events or environment cannot be made");
}

// The process whose id quenlark returned, held once it is found in the case's
// job: no other process can have taken that id since; NULL where none is.
static HANDLE OpenStartedProcess()
{
    // Wine's IsProcessInJob asks for the full query right, which Windows also accepts.
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, exitStatus);
    BOOL inJob = FALSE;
    if (process != NULL && IsProcessInJob(process, startedPrograms, &inJob) && inJob)
        return process;
    if (process != NULL)
        CloseHandle(process);
    return NULL;
}

// Waits until the probe that quenlark said it started has written its report,
// no longer once that process has ended; reads the report.
static bool AwaitReport()
{
    HANDLE readyOrEnded[] = {probeReady, startedProcess};
    bool ready = WaitForMultipleObjects(2, readyOrEnded, FALSE, ProbeTimeLimit) == WAIT_OBJECT_0;
    HANDLE file = ready ? CreateFileW(reportPath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL)
                        : INVALID_HANDLE_VALUE;
    DWORD count = 0;
    if (file == INVALID_HANDLE_VALUE)
        return false;
    ReadFile(file, report, sizeof report - sizeof(wchar_t), &count, NULL);
    CloseHandle(file);
    report[count / sizeof(wchar_t)] = L'\0';
    return true;
}

// Lets the probe end, ends all else the case started, and waits until the
// probe has ended, so that the files it ran from can be removed.
static void ReleaseProbe()
{
    SetEvent(probeRelease);
    TerminateJobObject(startedPrograms, 1);
    if (startedProcess != NULL) {
        WaitForSingleObject(startedProcess, ProbeTimeLimit);
        CloseHandle(startedProcess);
        startedProcess = NULL;
    }
    CloseHandle(probeReady);
    CloseHandle(probeRelease);
    DeleteFileW(reportPath);
}

// The value of `name` in the probe's report, or an empty text.
static const wchar_t* ReportedValue(const wchar_t* name)
{
    static wchar_t value[4096];
    value[0] = L'\0';
    size_t nameLength = wcslen(name);
    for (const wchar_t* entry = report; wcschr(entry, L'\n') != NULL; entry = wcschr(entry, L'\n') + 1) {
        if (wcsncmp(entry, name, nameLength) != 0 || entry[nameLength] != L'=')
            continue;
        size_t length = static_cast<size_t>(wcschr(entry, L'\n') - entry) - nameLength - 1;
        length = length < 4095 ? length : 4095;
        wcsncpy(value, entry + nameLength + 1, length);
        value[length] = L'\0';
        break;
    }
    return value;
}

// What stands in the pipe now. Reading to its end instead would hang whenever
// some other process (a wrongly inherited handle) still holds the write end.
static void ReadWhatIsThere(HANDLE pipe, char* bytes, DWORD size)
{
    DWORD available = 0, count = 0, total = 0;
    while (total + 1 < size && PeekNamedPipe(pipe, NULL, 0, NULL, &available, NULL) && available > 0 &&
           ReadFile(pipe, bytes + total, size - 1 - total, &count, NULL) && count > 0)
        total += count;
    bytes[total] = '\0';
}

// Whether no process holds the pipe's write end any more.
static bool NoOneWrites(HANDLE pipe)
{
    DWORD available = 0;
    return !PeekNamedPipe(pipe, NULL, 0, NULL, &available, NULL) && GetLastError() == ERROR_BROKEN_PIPE;
}

// Starts the line suspended, once more where Wine failed to start it
// (wine_retries.h); only the new process holds the pipes' write ends then.
static bool StartSuspended(DWORD creationFlags, HANDLE outputWrite, HANDLE errorsWrite, PROCESS_INFORMATION* process)
{
    STARTUPINFOW startupInfo = {};
    startupInfo.cb = sizeof startupInfo;
    startupInfo.dwFlags = STARTF_USESTDHANDLES;
    startupInfo.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startupInfo.hStdOutput = outputWrite;
    startupInfo.hStdError = errorsWrite;
    const wchar_t* programName = program[0] != L'\0' ? program : NULL;
    DWORD flags = creationFlags | CREATE_SUSPENDED;
    bool started = CreateProcessW(programName, line, NULL, NULL, TRUE, flags, NULL, NULL, &startupInfo, process) != 0;
    if (!started && WineFailedToStart(GetLastError())) {
        printf("  Wine failed to start quenlark (error 1359: it ended before any of its code ran); trying once more\n");
        started = CreateProcessW(programName, line, NULL, NULL, TRUE, flags, NULL, NULL, &startupInfo, process) != 0;
    }
    CloseHandle(outputWrite);
    CloseHandle(errorsWrite);
    return started;
}

// A pipe whose write end alone quenlark inherits; false, neither end left
// open, where none can be made.
static bool MakePipe(HANDLE* readEnd, HANDLE* writeEnd)
{
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, NULL, TRUE};
    HANDLE read, write;
    if (!CreatePipe(&read, &write, &inheritable, PipeSize))
        return false;
    if (!SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0)) {
        CloseHandle(read);
        CloseHandle(write);
        return false;
    }
    *readEnd = read;
    *writeEnd = write;
    return true;
}

// Runs the line to its end, with pipes for its output, in the case's job.
static bool RunLine(DWORD creationFlags)
{
    HANDLE outputWrite, errorsWrite;
    if (!Check(MakePipe(&outputRead, &outputWrite), "no pipe for quenlark's output"))
        return false;
    if (!Check(MakePipe(&errorsRead, &errorsWrite), "no pipe for quenlark's standard error")) {
        CloseHandle(outputWrite);
        return false;
    }
    PROCESS_INFORMATION process;
    if (!Check(StartSuspended(creationFlags, outputWrite, errorsWrite, &process), "quenlark cannot be started"))
        return false;
    // In the job before it can start anything, so that all it starts ends with the case.
    bool ended = Check(AssignProcessToJobObject(startedPrograms, process.hProcess) != 0,
                       "quenlark cannot be put in the case's job (jobs nest only from Windows 8 on)") &&
                 Check(ResumeThread(process.hThread) != static_cast<DWORD>(-1), "quenlark cannot be resumed") &&
                 Check(WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0,
                       "quenlark still runs after a minute") &&
                 Check(GetExitCodeProcess(process.hProcess, &exitStatus) != 0, "quenlark's exit status cannot be read");
    if (!ended)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    ReadWhatIsThere(outputRead, output, sizeof output);
    ReadWhatIsThere(errorsRead, errors, sizeof errors);
    return ended;
}

// The probe runs as the process whose id quenlark returned: with the command,
// on a console of its own, in quenlark's directory and environment, holding
// none of its handles.
static void CheckStartedProbe(OutcomeKind kind)
{
    wchar_t number[32], console[512] = L",", entry[32];
    FormatText(number, 32, L"%lu", exitStatus);
    Check(wcscmp(ReportedValue(L"pid"), number) == 0, "the exit status is not the new process's id");
    Check(wcscmp(ReportedValue(L"commandline"), command) == 0, "the command did not arrive as typed");
    DWORD_PTR processMask = 0, systemMask = 0;
    GetProcessAffinityMask(GetCurrentProcess(), &processMask, &systemMask);
    FormatText(number, 32, L"%llu", static_cast<unsigned long long>(processMask));
    if (kind != StartedOnFirstProcessor)
        Check(wcscmp(ReportedValue(L"affinity"), number) == 0, "its affinity is not quenlark's");
    else if (AffinityIsKept())
        Check(wcscmp(ReportedValue(L"affinity"), L"1") == 0, "/u did not confine it to the first processor");
    Check(wcscmp(ReportedValue(L"directory"), binFolder) == 0, "it does not run in quenlark's current directory");
    Check(wcsncmp(ReportedValue(L"variable"), L"inherited quenlark-probe-", 25) == 0,
          "it did not inherit quenlark's environment");
    wcsncat(console, ReportedValue(L"console"), 500);
    FormatText(entry, 32, L",%lu,", exitStatus);
    Check(wcsstr(console, entry) != NULL, "it is not on its console's list");
    FormatText(entry, 32, L",%lu,", GetCurrentProcessId());
    Check(wcsstr(console, entry) == NULL, "it shares quenlark's console");
    Check(output[0] == '\0' && errors[0] == '\0', "quenlark wrote output");
    Check(NoOneWrites(outputRead) && NoOneWrites(errorsRead), "it holds quenlark's output pipes, inherited");
    if (kind == StartedAboveNormal)
        Check(wcscmp(ReportedValue(L"priority"), L"32768") == 0, "it does not run above normal, as quenlark does");
    if (kind == StartedWithCtrlCIgnored)
        Check(wcscmp(ReportedValue(L"control-events"), L"ctrl-c ignored, ctrl-break reached") == 0,
              "Ctrl+C or Ctrl+Break came otherwise");
}

// Runs the README's PowerShell, its output this program's, on the probe.
static void ResumeWithTheReadme()
{
    wchar_t script[MAX_PATH], powerShell[MAX_PATH + 96];
    FormatText(script, MAX_PATH, L"%ls\\resume-process.ps1", runFolder);
    FILE* file = _wfopen(script, L"wb");
    if (!Check(file != NULL, "the README's PowerShell cannot be written"))
        return;
    fprintf(file, "$id = %lu\r\n%s", exitStatus, ReadmeResumeProcess);
    fclose(file);
    FormatText(powerShell, MAX_PATH + 96, L"powershell.exe -NoProfile -NonInteractive -ExecutionPolicy Bypass -File \"%ls\"",
               script);
    STARTUPINFOW startupInfo = {};
    startupInfo.cb = sizeof startupInfo;
    PROCESS_INFORMATION process;
    DWORD status = STILL_ACTIVE;
    if (!Check(CreateProcessW(NULL, powerShell, NULL, NULL, FALSE, 0, NULL, NULL, &startupInfo, &process) != 0,
               "PowerShell cannot be started"))
        return;
    if (Check(WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0,
              "the README's PowerShell still runs after a minute"))
        Check(GetExitCodeProcess(process.hProcess, &status) && status == 0, "the README's PowerShell failed");
    else
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

// The probe was left suspended: it has not run, and its one thread, suspended
// once, runs once resumed, by the README's way or by its thread.
static void Resume(OutcomeKind kind)
{
    Check(WaitForSingleObject(probeReady, 1000) == WAIT_TIMEOUT, "the probe ran before it was resumed");
    if (kind == ResumedByTheReadme) {
        ResumeWithTheReadme();
        return;
    }
    HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, FirstThreadOf(exitStatus));
    Check(thread != NULL && ResumeThread(thread) == 1, "its thread was not suspended once");
    if (thread != NULL)
        CloseHandle(thread);
}

static void CheckStartedAs32Bit()
{
    BOOL wow64 = FALSE;
    Check(IsWow64Process(startedProcess, &wow64) && wow64, "it started as a 64-bit process");
}

// Whether `bytes` are `text` with each line end written as CR LF.
static bool IsWithCrLf(const char* bytes, const char* text)
{
    for (; *text != '\0'; ++text)
        if ((*text == '\n' && *bytes++ != '\r') || *bytes++ != *text)
            return false;
    return *bytes == '\0';
}

// The report of a failed creation on standard error alone, as expected_report.h
// makes it: for the expected error, or for another where any will do.
static void CheckReport(const Outcome& expected)
{
    static char shown[8192], wanted[8192];
    Check(exitStatus == 0, "the exit status is not 0");
    Check(output[0] == '\0', "quenlark wrote to standard output");
    strcpy(shown, errors);
    RemoveBlanksBeforeLineEnds(shown);
    UINT codePage = ReportCodePage();
    bool made = expected.kind == Reports && expected.error != 0
                    ? ExpectedReport(L"Error creating process", expected.error, codePage, wanted, sizeof wanted)
                    : RewrappedReport(shown, codePage, wanted, sizeof wanted);
    if (!Check(made && strncmp(shown, "Error creating process: ", 24) == 0 && strcmp(shown, wanted) == 0,
               expected.error != 0 ? "standard error is not the report, wrapped as it should be"
                                   : "standard error is no report of a failed creation, wrapped as it should be"))
        PrintBytes("expected", wanted);
    if (expected.kind == ReportsOtherThan)
        Check(!ExpectedReport(L"Error creating process", expected.error, codePage, wanted, sizeof wanted) ||
                  strcmp(shown, wanted) != 0,
              "the report gives the error it should not");
}

// What came of the launch against the outcome expected.
static void CheckOutcome(const Outcome& expected)
{
    switch (expected.kind) {
    case ShowsUsage:
        Check(exitStatus == 0, "the exit status is not 0");
        Check(IsWithCrLf(output, ReadmeUsage), "standard output is not the README's usage text, lines ending in CR LF");
        Check(errors[0] == '\0', "quenlark wrote to standard error");
        return;
    case Reports:
    case ReportsOtherThan:
        CheckReport(expected);
        return;
    default:
        break;
    }
    if (!Check(exitStatus != 0, "quenlark started no process"))
        return;
    startedProcess = OpenStartedProcess();
    if (!Check(startedProcess != NULL, "no process that this case started has the id quenlark returned"))
        return;
    if (expected.kind == StartedAs32Bit) {
        CheckStartedAs32Bit();
        return;
    }
    if (expected.kind == LeftSuspended || expected.kind == ResumedByTheReadme)
        Resume(expected.kind);
    if (Check(AwaitReport(), "the probe did not report"))
        CheckStartedProbe(expected.kind);
}

bool CheckLaunch(const wchar_t* linePattern, const wchar_t* programPattern, const Outcome& expected)
{
    caseFailed = false;
    exitStatus = 0;
    outputRead = errorsRead = NULL;
    output[0] = errors[0] = '\0';
    report[0] = L'\0';
    Expand(linePattern, line, 4096);
    Expand(programPattern != NULL ? programPattern : L"", program, MAX_PATH);
    Expand(expected.command != NULL ? expected.command : L"", command, 4096);
    PrepareProbe(expected.kind);
    if (RunLine(expected.kind == StartedAboveNormal ? ABOVE_NORMAL_PRIORITY_CLASS : 0))
        CheckOutcome(expected);
    if (caseFailed)
        DescribeLaunch();
    ReleaseProbe();
    if (outputRead != NULL)
        CloseHandle(outputRead);
    if (errorsRead != NULL)
        CloseHandle(errorsRead);
    return !caseFailed;
}
