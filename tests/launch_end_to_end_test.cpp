// The built quenlark.exe, run as a user runs it. It starts the probe program,
// which reports what it was given and stays until released. Command lines go
// through the UTF-16 calls only, so that none of their characters is lost or
// mapped before quenlark sees it.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/console_lines.h"
#include "support/first_thread.h"
#include "support/folder_tree.h"
#include "support/run_program.h"
#include "probe/probe_session.h"
#include "support/system_text.h"
#include "support/wine.h"
#include "resume_process_snippet.h"

namespace {

typedef std::map<std::wstring, std::wstring> ProbeReport;

struct Launch {
    ProgramResult launcher;
    ProbeReport report;
};

const std::vector<std::string> UsageLines = {
    "Creates a process and returns process id.",
    "Syntax:",
    "",
    "quenlark [/u] [/s] commandline",
    "",
    "/u    Run on first processor only.",
    "/s    Create suspended.",
};

std::wstring QuotedLauncher()
{
    return L"\"" + ProgramFolder() + L"\\quenlark.exe\"";
}

// This test process's own folder for the files it makes. Wine hands out the
// same process ids again once its server has restarted, so the id alone would
// meet the reports of an earlier run; the time of the first call tells runs apart.
std::wstring RunFolder()
{
    static std::wstring folder;
    if (!folder.empty())
        return folder;
    FILETIME started;
    GetSystemTimeAsFileTime(&started);
    wchar_t temporary[MAX_PATH];
    GetTempPathW(MAX_PATH, temporary);
    folder = std::wstring(temporary) + L"quenlark-tests-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
             std::to_wstring((static_cast<unsigned long long>(started.dwHighDateTime) << 32) | started.dwLowDateTime);
    CreateDirectoryW(folder.c_str(), NULL);
    return folder;
}

// Leaves nothing in the temporary folder once the tests of this process are done.
class RunFolderRemoval : public testing::Environment {
    void TearDown() override { RemoveFolderTree(RunFolder()); }
};
const testing::Environment* const runFolderRemoval = testing::AddGlobalTestEnvironment(new RunFolderRemoval);

std::wstring TestFolder(const std::wstring& name)
{
    std::wstring folder = RunFolder() + L"\\" + name;
    CreateDirectoryW(folder.c_str(), NULL);
    return folder;
}

void CopyProgram(const std::wstring& name, const std::wstring& destination)
{
    ASSERT_TRUE(CopyFileW((ProgramFolder() + L"\\" + name).c_str(), destination.c_str(), FALSE)) << destination;
}

// A probe with its report in this test's folder, and a variable it is to
// report as inherited.
ProbeSession PrepareTestProbe()
{
    ProbeSession session = PrepareProbe(TestFolder(L"reports").c_str());
    SetEnvironmentVariableW(ProbeVariableVariable, (L"inherited " + std::wstring(session.name)).c_str());
    return session;
}

std::wstring ReadUtf16File(const std::wstring& path)
{
    std::wstring text;
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (file == NULL)
        return text;
    wchar_t buffer[512];
    for (size_t count; (count = fread(buffer, sizeof(wchar_t), 512, file)) > 0;)
        text.append(buffer, count);
    fclose(file);
    return text;
}

// The probe's report, once it has written it (AwaitProbe); empty when it did not.
ProbeReport AwaitReport(const ProbeSession& session, unsigned long processId)
{
    ProbeReport report;
    if (!AwaitProbe(session, processId))
        return report;
    std::wstring text = ReadUtf16File(session.reportPath);
    for (size_t start = 0, end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1) {
        std::wstring line = text.substr(start, end - start);
        report[line.substr(0, line.find(L'='))] = line.substr(line.find(L'=') + 1);
    }
    return report;
}

// Releases the probe, waiting for the process that reported.
void ReleaseReportedProbe(const ProbeSession& session, const ProbeReport& report)
{
    ProbeReport::const_iterator pid = report.find(L"pid");
    ReleaseProbe(session, pid != report.end() ? std::stoul(pid->second) : 0);
}

// What a failed expectation about a launch says of it: the launcher's run, and
// what the probe reported, if it did.
std::string Describe(const Launch& launch)
{
    testing::Message message;
    message << DescribeRun(launch.launcher) << "\nprobe: ";
    if (launch.report.empty())
        message << "no report";
    for (const ProbeReport::value_type& entry : launch.report)
        message << "\n  " << entry.first << "=" << entry.second;
    return message.GetString();
}

Launch LaunchProbe(const std::wstring& commandLine, unsigned long creationFlags = 0,
                   const wchar_t* applicationName = NULL)
{
    ProbeSession events = PrepareTestProbe();
    Launch launch;
    launch.launcher = RunProgram(commandLine, creationFlags, applicationName);
    launch.report = AwaitReport(events, launch.launcher.exitStatus);
    ReleaseReportedProbe(events, launch.report);
    return launch;
}

std::wstring OwnAffinity()
{
    DWORD_PTR processMask = 0, systemMask = 0;
    GetProcessAffinityMask(GetCurrentProcess(), &processMask, &systemMask);
    return std::to_wstring(static_cast<unsigned long long>(processMask));
}

std::wstring OwnDirectory()
{
    wchar_t directory[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, directory);
    return directory;
}

// The probe ran, with this command line, as the process whose id the launcher returned.
void ExpectProbeStartedWith(const Launch& launch, const std::wstring& commandLine, bool firstProcessorOnly)
{
    SCOPED_TRACE(Describe(launch));
    EXPECT_EQ(launch.launcher.output, "");
    EXPECT_EQ(launch.launcher.errors, "");
    ASSERT_FALSE(launch.report.empty()) << "the probe did not run";
    EXPECT_EQ(std::to_wstring(launch.launcher.exitStatus), launch.report.at(L"pid"));
    EXPECT_EQ(launch.report.at(L"commandline"), commandLine);
    EXPECT_EQ(launch.report.at(L"affinity"), firstProcessorOnly ? L"1" : OwnAffinity());
}

void ExpectCreationReport(const ProgramResult& result, unsigned long errorCode)
{
    SCOPED_TRACE(DescribeRun(result));
    EXPECT_EQ(result.exitStatus, 0u);
    EXPECT_EQ(result.output, "");
    EXPECT_TRUE(EndsEachLineWithOneCrLf(result.errors)) << result.errors;
    std::vector<std::string> lines = ConsoleLines(result.errors);
    ASSERT_EQ(lines.size(), 1u) << result.errors;
    std::string shown = lines[0].substr(0, lines[0].find_last_not_of(' ') + 1);
    if (errorCode != 0)
        EXPECT_EQ(shown, "Error creating process: " + SystemText(errorCode));
    else
        EXPECT_EQ(shown.rfind("Error creating process: ", 0), 0u) << shown;
}

TEST(Launch, HandsOnTheCommandAsTypedAndReturnsItsProcessId)
{
    struct Case {
        const wchar_t* arguments;
        const wchar_t* commandLine;
        bool firstProcessorOnly;
    };
    const Case cases[] = {
        {L"probe.exe", L"probe.exe", false},
        {L"/u /U probe.exe a", L"probe.exe a", true},
        {L"probe.exe /u /s", L"probe.exe /u /s", false},
        {L" /u   probe.exe   a   b ", L"probe.exe   a   b ", true},
        {L"\"probe.exe\" \"x  y\" \\\"z", L"\"probe.exe\" \"x  y\" \\\"z", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        Launch launch = LaunchProbe(QuotedLauncher() + L" " + c.arguments);
        ExpectProbeStartedWith(launch, c.commandLine, c.firstProcessorOnly);
        SCOPED_TRACE(Describe(launch));
        EXPECT_EQ(launch.report[L"directory"], OwnDirectory());
        EXPECT_EQ(launch.report[L"variable"].rfind(L"inherited quenlark-probe-", 0), 0u);
    }
}

TEST(Launch, EveryCodeUnitOfTheCommandReachesTheNewProcess)
{
    // Folder names outside the ANSI code page, for the program started and for the launcher itself.
    std::wstring probe = TestFolder(L"Программы") + L"\\probe.exe";
    CopyProgram(L"probe.exe", probe);
    std::wstring launcher = TestFolder(L"日本語") + L"\\quenlark.exe";
    CopyProgram(L"quenlark.exe", launcher);
    struct Case {
        std::wstring launcherAndOptions;
        std::wstring command;
        bool firstProcessorOnly;
    };
    const Case cases[] = {
        {QuotedLauncher(), L"probe.exe жук 日本語 😀", false},
        // Best-fit mapping to the ANSI code page would make these "a b" in real quotes and a%1.
        {QuotedLauncher(), L"probe.exe ＂a b＂ ａ％１", false},
        {QuotedLauncher(), L"probe.exe a\xD800" L"b \xDC00", false}, // unpaired surrogates
        {QuotedLauncher(), L"\"" + probe + L"\" ж", false},
        {L"\"" + launcher + L"\" /u", L"\"" + ProgramFolder() + L"\\probe.exe\" 😀", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        ExpectProbeStartedWith(LaunchProbe(c.launcherAndOptions + L" " + c.command), c.command, c.firstProcessorOnly);
    }
}

TEST(Launch, CommandStartsWhereTheRuntimeSplitTheLaunchersOwnWords)
{
    // Lines of a caller that names the program apart: Wine's msvcrt splits the
    // program name like any argument, Windows' msvcrt.dll ends a quoted one at
    // its closing quote and an unquoted one at a blank.
    struct Outcome {
        const wchar_t* command; // NULL: nothing started, "Error creating process"
        bool firstProcessorOnly;
    };
    struct Case {
        std::wstring line;
        Outcome underWine, underMsvcrtDll;
    };
    const std::wstring launcher = ProgramFolder() + L"\\quenlark.exe";
    const Case cases[] = {
        {L"\"" + launcher + L"\"probe.exe probe.exe z", {L"probe.exe z", false}, {L"probe.exe probe.exe z", false}},
        {L"\"" + launcher + L"\"/u probe.exe", {L"probe.exe", false}, {L"probe.exe", true}},
        {L"\"x\"/u probe.exe", {L"probe.exe", false}, {L"probe.exe", true}},
        {L"qu\"en lark\".exe /u probe.exe", {L"probe.exe", true}, {NULL, false}},
        {L"\"\"x probe.exe", {L"probe.exe", false}, {NULL, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const Outcome& expected = RunningUnderWine() ? c.underWine : c.underMsvcrtDll;
        Launch launch = LaunchProbe(c.line, 0, launcher.c_str());
        if (expected.command != NULL)
            ExpectProbeStartedWith(launch, expected.command, expected.firstProcessorOnly);
        else
            ExpectCreationReport(launch.launcher, 0);
    }
}

TEST(Launch, QuotedPathWithSpacesKeepsItsQuotes)
{
    std::wstring probe = TestFolder(L"with space") + L"\\probe.exe";
    CopyProgram(L"probe.exe", probe);
    std::wstring command = L"\"" + probe + L"\" -x \"a  b\"";
    ExpectProbeStartedWith(LaunchProbe(QuotedLauncher() + L" " + command), command, false);
}

TEST(Launch, WordInTheLaunchersOwnPathIsNotTheCommand)
{
    std::wstring folder = TestFolder(L"lark");
    if (folder.find(L' ') != std::wstring::npos)
        GTEST_SKIP() << "the temporary folder has a space; this case needs an unquoted launcher path";
    CopyProgram(L"quenlark.exe", folder + L"\\quenlark.exe");
    CopyProgram(L"probe.exe", folder + L"\\lark.exe");
    Launch launch = LaunchProbe(folder + L"\\quenlark.exe lark.exe x");
    SCOPED_TRACE(Describe(launch));
    ASSERT_FALSE(launch.report.empty()) << "the probe did not report";
    EXPECT_EQ(launch.report[L"commandline"], L"lark.exe x");
}

TEST(Launch, NewProcessHasAConsoleOfItsOwn)
{
    // Give this program a console for the launcher to share; the probe must not be on it.
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE), errors = GetStdHandle(STD_ERROR_HANDLE);
    DWORD processes[4];
    if (GetConsoleProcessList(processes, 4) == 0) {
        FreeConsole(); // Wine may leave a process half attached
        ASSERT_TRUE(AllocConsole());
    }
    SetStdHandle(STD_OUTPUT_HANDLE, output);
    SetStdHandle(STD_ERROR_HANDLE, errors);

    Launch launch = LaunchProbe(QuotedLauncher() + L" probe.exe");
    SCOPED_TRACE(Describe(launch));
    ASSERT_FALSE(launch.report.empty()) << "the probe did not report";
    std::wstring console = launch.report[L"console"];
    EXPECT_NE(console.find(launch.report[L"pid"] + L","), std::wstring::npos) << console;
    EXPECT_EQ((L"," + console).find(L"," + std::to_wstring(GetCurrentProcessId()) + L","), std::wstring::npos)
        << console;
}

TEST(Launch, SlashSLeavesTheProcessSuspended)
{
    ProbeSession events = PrepareTestProbe();
    ProgramResult result = RunProgram(QuotedLauncher() + L" /S probe.exe");
    SCOPED_TRACE(DescribeRun(result));
    ASSERT_NE(result.exitStatus, 0u);

    EXPECT_EQ(GetFileAttributesW(events.reportPath), INVALID_FILE_ATTRIBUTES) << "the probe ran";
    HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, FirstThreadOf(result.exitStatus));
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(ResumeThread(thread), 1u) << "suspend count before resuming";
    CloseHandle(thread);

    ProbeReport report = AwaitReport(events, result.exitStatus);
    ReleaseReportedProbe(events, report);
    ASSERT_FALSE(report.empty()) << "the probe did not report once resumed";
    EXPECT_EQ(report[L"pid"], std::to_wstring(result.exitStatus));
}

TEST(Launch, NewProcessInheritsNoHandles)
{
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, NULL, TRUE};
    HANDLE readEnd, writeEnd;
    ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, &inheritable, 0));
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    // The launcher inherits the write end; once it has ended, only the probe could hold it.
    ProbeSession events = PrepareTestProbe();
    ProgramResult result = RunProgram(QuotedLauncher() + L" probe.exe");
    SCOPED_TRACE(DescribeRun(result));
    CloseHandle(writeEnd);
    ProbeReport report = AwaitReport(events, result.exitStatus);
    ASSERT_FALSE(report.empty()) << "the probe did not report";

    DWORD available = 0;
    EXPECT_FALSE(PeekNamedPipe(readEnd, NULL, 0, NULL, &available, NULL)) << "the probe holds the pipe";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BROKEN_PIPE));
    ReleaseReportedProbe(events, report);
    CloseHandle(readEnd);
    EXPECT_NE(result.exitStatus, 0u);
}

TEST(Launch, NewProcessRunsAtTheLaunchersPriorityClass)
{
    if (RunningUnderWine())
        GTEST_SKIP() << "Wine ignores priority classes given to CreateProcess";
    Launch launch = LaunchProbe(QuotedLauncher() + L" probe.exe", ABOVE_NORMAL_PRIORITY_CLASS);
    SCOPED_TRACE(Describe(launch));
    ASSERT_FALSE(launch.report.empty()) << "the probe did not report";
    EXPECT_EQ(launch.report[L"priority"], std::to_wstring(ABOVE_NORMAL_PRIORITY_CLASS));
}

TEST(Launch, ShowsUsageWhenThereIsNoCommand)
{
    for (const wchar_t* arguments : {L"", L" /u", L" /s /U", L" \"\"", L" /u \"\" probe.exe"}) {
        SCOPED_TRACE(arguments);
        ProgramResult result = RunProgram(QuotedLauncher() + arguments);
        SCOPED_TRACE(DescribeRun(result));
        EXPECT_EQ(result.exitStatus, 0u);
        EXPECT_EQ(ConsoleLines(result.output), UsageLines);
        EXPECT_EQ(result.errors, "");
    }
    // A file or a pipe gets each line end as CR LF, once.
    EXPECT_EQ(RunProgram(QuotedLauncher()).output,
              "Creates a process and returns process id.\r\nSyntax:\r\n\r\nquenlark [/u] [/s] commandline\r\n\r\n"
              "/u    Run on first processor only.\r\n/s    Create suspended.\r\n");
}

TEST(Launch, ReportsWhatKeptTheProcessFromStarting)
{
    std::wstring notAProgram = TestFolder(L"text") + L"\\not-a-program.exe";
    FILE* text = _wfopen(notAProgram.c_str(), L"wb");
    ASSERT_NE(text, nullptr);
    fputs("just text\n", text);
    fclose(text);
    struct Case {
        std::wstring arguments;
        unsigned long errorCode; // 0: whichever the system gives
    };
    const Case cases[] = {
        {L"no-such-program.exe", ERROR_FILE_NOT_FOUND},
        {L"/?", 0},
        {L"-u probe.exe", 0},
        {L"/s/u probe.exe", 0},
        // Pieced together, or holding a quote: not in the raw command line as the runtime gave it.
        {L"\"pro\"be.exe", ERROR_INVALID_PARAMETER},
        {L"\"probe.exe\"\"", ERROR_INVALID_PARAMETER},
        {notAProgram, ERROR_BAD_EXE_FORMAT}, // a system text with an insert reference
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        ExpectCreationReport(RunProgram(QuotedLauncher() + L" " + c.arguments), c.errorCode);
    }
    EXPECT_NE(SystemText(ERROR_BAD_EXE_FORMAT).find("%1"), std::string::npos);
}

TEST(Launch, WildcardsAreNotExpanded)
{
    // Expanded, "prob?.exe" would become "probe.exe", which does not stand in the
    // raw command line: the report would be the invalid-parameter one.
    std::wstring testsFolder = OwnDirectory();
    SetCurrentDirectoryW(ProgramFolder().c_str());
    ProgramResult result = RunProgram(QuotedLauncher() + L" prob?.exe");
    SetCurrentDirectoryW(testsFolder.c_str());
    ExpectCreationReport(result, 0);
    EXPECT_EQ(result.errors.find(SystemText(ERROR_INVALID_PARAMETER)), std::string::npos) << DescribeRun(result);
}

} // namespace

namespace {

// Windows' documentation says both that a new process group starts with Ctrl+C
// ignored and that the group flag is ignored beside a new console; this tells.
// Ctrl+Break, never ignored, shows that the probe's handler works at all.
TEST(Launch, CtrlCStartsOutIgnoredInTheNewProcessGroup)
{
    if (RunningUnderWine())
        GTEST_SKIP() << "Wine cannot tell: it delivers neither Ctrl+C nor Ctrl+Break raised on a new console";
    SetEnvironmentVariableW(ProbeControlEventsVariable, L"1");
    Launch launch = LaunchProbe(QuotedLauncher() + L" probe.exe");
    SetEnvironmentVariableW(ProbeControlEventsVariable, NULL);
    SCOPED_TRACE(Describe(launch));
    ASSERT_FALSE(launch.report.empty()) << "the probe did not report";
    EXPECT_EQ(launch.report[L"control-events"], L"ctrl-c ignored, ctrl-break reached");
}

// What the README warns of: on 64-bit Windows the x86 build's "System32" is
// SysWOW64, whose programs are 32-bit ones.
TEST(Launch, X86LauncherOn64BitWindowsStartsSystem32ProgramsAs32BitOnes)
{
    BOOL wow64 = FALSE;
    if (sizeof(void*) != 4 || !IsWow64Process(GetCurrentProcess(), &wow64) || !wow64)
        GTEST_SKIP() << "only a 32-bit launcher on 64-bit Windows has System32 redirected";
    wchar_t cmd[MAX_PATH];
    ASSERT_GT(ExpandEnvironmentStringsW(L"%windir%\\System32\\cmd.exe", cmd, MAX_PATH), 0u);
    ProgramResult result = RunProgram(QuotedLauncher() + L" /s " + cmd + L" /c exit");
    SCOPED_TRACE(DescribeRun(result));
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, result.exitStatus);
    ASSERT_NE(process, nullptr) << GetLastError();
    BOOL startedUnderWow64 = FALSE;
    EXPECT_TRUE(IsWow64Process(process, &startedUnderWow64));
    EXPECT_TRUE(startedUnderWow64) << "System32's cmd.exe started as a 64-bit process";
    CloseHandle(process);
}

TEST(Launch, TheReadmesPowerShellResumesAProcessLeftSuspended)
{
    if (RunningUnderWine())
        GTEST_SKIP() << "Wine has no PowerShell";
    ProbeSession events = PrepareTestProbe();
    ProgramResult launch = RunProgram(QuotedLauncher() + L" /s probe.exe");
    SCOPED_TRACE(DescribeRun(launch));
    ASSERT_NE(launch.exitStatus, 0u);

    std::wstring script = TestFolder(L"resume") + L"\\resume-process.ps1";
    FILE* file = _wfopen(script.c_str(), L"wb");
    ASSERT_NE(file, nullptr);
    fprintf(file, "$id = %lu\r\n%s", launch.exitStatus, ResumeProcessSnippet);
    fclose(file);
    ProgramResult resume =
        RunProgram(L"powershell.exe -NoProfile -NonInteractive -ExecutionPolicy Bypass -File \"" + script + L"\"");
    EXPECT_EQ(resume.exitStatus, 0u) << DescribeRun(resume);

    ProbeReport report = AwaitReport(events, launch.exitStatus);
    ReleaseReportedProbe(events, report);
    EXPECT_FALSE(report.empty()) << "the probe did not run once the README's PowerShell had resumed it";
}

} // namespace
