// The built quenlark.exe, run as a user runs it. It starts the probe program,
// which reports what it was given and stays until released.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "support/console_lines.h"
#include "support/run_program.h"
#include "support/system_text.h"

namespace {

typedef std::map<std::string, std::string> ProbeReport;

struct ProbeEvents {
    std::string reportPath;
    HANDLE ready;
    HANDLE release;
};

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

std::string QuotedLauncher()
{
    return "\"" + ProgramFolder() + "\\quenlark.exe\"";
}

// This test process's own folder for the files it makes. Wine hands out the
// same process ids again once its server has restarted, so the id alone would
// meet the reports of an earlier run; the process's start time tells runs apart.
std::string RunFolder()
{
    static std::string folder;
    if (!folder.empty())
        return folder;
    FILETIME started, unused;
    GetProcessTimes(GetCurrentProcess(), &started, &unused, &unused, &unused);
    char temporary[MAX_PATH];
    GetTempPathA(MAX_PATH, temporary);
    folder = std::string(temporary) + "quenlark-tests-" + std::to_string(GetCurrentProcessId()) + "-" +
             std::to_string((static_cast<unsigned long long>(started.dwHighDateTime) << 32) | started.dwLowDateTime);
    CreateDirectoryA(folder.c_str(), NULL);
    return folder;
}

void RemoveFolderTree(const std::string& folder)
{
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName, path = folder + "\\" + name;
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
                DeleteFileA(path.c_str());
            else if (name != "." && name != "..")
                RemoveFolderTree(path);
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

// Leaves nothing in the temporary folder once the tests of this process are done.
class RunFolderRemoval : public testing::Environment {
    void TearDown() override { RemoveFolderTree(RunFolder()); }
};
const testing::Environment* const runFolderRemoval = testing::AddGlobalTestEnvironment(new RunFolderRemoval);

std::string TestFolder(const std::string& name)
{
    std::string folder = RunFolder() + "\\" + name;
    CreateDirectoryA(folder.c_str(), NULL);
    return folder;
}

void CopyProgram(const std::string& name, const std::string& destination)
{
    ASSERT_TRUE(CopyFileA((ProgramFolder() + "\\" + name).c_str(), destination.c_str(), FALSE)) << destination;
}

// Every probe gets its own report file and events, handed down through the
// environment, which the probe inherits by way of the launcher.
ProbeEvents PrepareProbe()
{
    static int probeCount = 0;
    std::string name = "quenlark-probe-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++probeCount);
    ProbeEvents events;
    events.reportPath = TestFolder("reports") + "\\" + name + ".txt";
    events.ready = CreateEventA(NULL, TRUE, FALSE, (name + "-ready").c_str());
    events.release = CreateEventA(NULL, TRUE, FALSE, (name + "-release").c_str());
    SetEnvironmentVariableA("QUENLARK_PROBE_REPORT", events.reportPath.c_str());
    SetEnvironmentVariableA("QUENLARK_PROBE_EVENTS", name.c_str());
    SetEnvironmentVariableA("QUENLARK_PROBE_VARIABLE", ("inherited " + name).c_str());
    return events;
}

ProbeReport AwaitProbe(const ProbeEvents& events)
{
    ProbeReport report;
    if (WaitForSingleObject(events.ready, 10000) != WAIT_OBJECT_0)
        return report;
    std::ifstream file(events.reportPath, std::ios::binary);
    std::string line;
    while (std::getline(file, line))
        report[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
    return report;
}

void ReleaseProbe(const ProbeEvents& events)
{
    SetEvent(events.release);
    CloseHandle(events.ready);
    CloseHandle(events.release);
}

Launch LaunchProbe(const std::string& commandLine, unsigned long creationFlags = 0)
{
    ProbeEvents events = PrepareProbe();
    Launch launch;
    launch.launcher = RunProgram(commandLine, creationFlags);
    launch.report = AwaitProbe(events);
    ReleaseProbe(events);
    return launch;
}

std::string OwnAffinity()
{
    DWORD_PTR processMask = 0, systemMask = 0;
    GetProcessAffinityMask(GetCurrentProcess(), &processMask, &systemMask);
    return std::to_string(static_cast<unsigned long long>(processMask));
}

std::string OwnDirectory()
{
    char directory[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, directory);
    return directory;
}

DWORD FirstThreadOf(DWORD processId)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    DWORD threadId = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more && threadId == 0; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == processId)
            threadId = entry.th32ThreadID;
    CloseHandle(snapshot);
    return threadId;
}

void ExpectCreationReport(const ProgramResult& result, unsigned long errorCode)
{
    EXPECT_EQ(result.exitStatus, 0u);
    EXPECT_EQ(result.output, "");
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
        const char* arguments;
        const char* commandLine;
        bool firstProcessorOnly;
    };
    const Case cases[] = {
        {"probe.exe", "probe.exe", false},
        {"/u /U probe.exe a", "probe.exe a", true},
        {"probe.exe /u /s", "probe.exe /u /s", false},
        {" /u   probe.exe   a   b ", "probe.exe   a   b ", true},
        {"\"probe.exe\" \"x  y\" \\\"z", "\"probe.exe\" \"x  y\" \\\"z", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        Launch launch = LaunchProbe(QuotedLauncher() + " " + c.arguments);
        EXPECT_EQ(launch.launcher.output, "");
        EXPECT_EQ(launch.launcher.errors, "");
        ASSERT_FALSE(launch.report.empty()) << "the probe did not run";
        EXPECT_EQ(std::to_string(launch.launcher.exitStatus), launch.report["pid"]);
        EXPECT_EQ(launch.report["commandline"], c.commandLine);
        EXPECT_EQ(launch.report["affinity"], c.firstProcessorOnly ? "1" : OwnAffinity());
        EXPECT_EQ(launch.report["directory"], OwnDirectory());
        EXPECT_EQ(launch.report["variable"].rfind("inherited quenlark-probe-", 0), 0u);
    }
}

TEST(Launch, QuotedPathWithSpacesKeepsItsQuotes)
{
    std::string probe = TestFolder("with space") + "\\probe.exe";
    CopyProgram("probe.exe", probe);
    std::string command = "\"" + probe + "\" -x \"a  b\"";
    Launch launch = LaunchProbe(QuotedLauncher() + " " + command);
    EXPECT_EQ(launch.report["commandline"], command);
    EXPECT_EQ(std::to_string(launch.launcher.exitStatus), launch.report["pid"]);
}

TEST(Launch, WordInTheLaunchersOwnPathIsNotTheCommand)
{
    std::string folder = TestFolder("lark");
    if (folder.find(' ') != std::string::npos)
        GTEST_SKIP() << "the temporary folder has a space; this case needs an unquoted launcher path";
    CopyProgram("quenlark.exe", folder + "\\quenlark.exe");
    CopyProgram("probe.exe", folder + "\\lark.exe");
    Launch launch = LaunchProbe(folder + "\\quenlark.exe lark.exe x");
    EXPECT_EQ(launch.report["commandline"], "lark.exe x");
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

    Launch launch = LaunchProbe(QuotedLauncher() + " probe.exe");
    std::string console = launch.report["console"];
    EXPECT_NE(console.find(launch.report["pid"] + ","), std::string::npos) << console;
    EXPECT_EQ(("," + console).find("," + std::to_string(GetCurrentProcessId()) + ","), std::string::npos) << console;
}

TEST(Launch, SlashSLeavesTheProcessSuspended)
{
    ProbeEvents events = PrepareProbe();
    ProgramResult result = RunProgram(QuotedLauncher() + " /S probe.exe");
    ASSERT_NE(result.exitStatus, 0u) << result.errors;

    EXPECT_EQ(GetFileAttributesA(events.reportPath.c_str()), INVALID_FILE_ATTRIBUTES) << "the probe ran";
    HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, FirstThreadOf(result.exitStatus));
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(ResumeThread(thread), 1u) << "suspend count before resuming";
    CloseHandle(thread);

    ProbeReport report = AwaitProbe(events);
    ReleaseProbe(events);
    EXPECT_EQ(report["pid"], std::to_string(result.exitStatus));
}

TEST(Launch, NewProcessInheritsNoHandles)
{
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, NULL, TRUE};
    HANDLE readEnd, writeEnd;
    ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, &inheritable, 0));
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    // The launcher inherits the write end; once it has ended, only the probe could hold it.
    ProbeEvents events = PrepareProbe();
    ProgramResult result = RunProgram(QuotedLauncher() + " probe.exe");
    CloseHandle(writeEnd);
    ASSERT_FALSE(AwaitProbe(events).empty());

    DWORD available = 0;
    EXPECT_FALSE(PeekNamedPipe(readEnd, NULL, 0, NULL, &available, NULL)) << "the probe holds the pipe";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BROKEN_PIPE));
    ReleaseProbe(events);
    CloseHandle(readEnd);
    EXPECT_NE(result.exitStatus, 0u);
}

TEST(Launch, NewProcessRunsAtTheLaunchersPriorityClass)
{
    if (RunningUnderWine())
        GTEST_SKIP() << "Wine ignores priority classes given to CreateProcess";
    Launch launch = LaunchProbe(QuotedLauncher() + " probe.exe", ABOVE_NORMAL_PRIORITY_CLASS);
    EXPECT_EQ(launch.report["priority"], std::to_string(ABOVE_NORMAL_PRIORITY_CLASS));
}

TEST(Launch, ShowsUsageWhenThereIsNoCommand)
{
    for (const char* arguments : {"", " /u", " /s /U", " \"\""}) {
        SCOPED_TRACE(arguments);
        ProgramResult result = RunProgram(QuotedLauncher() + arguments);
        EXPECT_EQ(result.exitStatus, 0u);
        EXPECT_EQ(ConsoleLines(result.output), UsageLines);
        EXPECT_EQ(result.errors, "");
    }
    // The usage text goes through a text-mode stream, which adds a carriage
    // return before each line feed.
    EXPECT_EQ(RunProgram(QuotedLauncher()).output,
              "Creates a process and returns process id.\r\r\nSyntax:\r\r\n\r\nquenlark [/u] [/s] commandline\r\r\n\r\n"
              "/u    Run on first processor only.\r\r\n/s    Create suspended.\r\n");
}

TEST(Launch, ReportsWhatKeptTheProcessFromStarting)
{
    std::string notAProgram = TestFolder("text") + "\\not-a-program.exe";
    std::ofstream(notAProgram) << "just text\n";
    struct Case {
        std::string arguments;
        unsigned long errorCode; // 0: whichever the system gives
    };
    const Case cases[] = {
        {"no-such-program.exe", ERROR_FILE_NOT_FOUND},
        {"/?", 0},
        {"-u probe.exe", 0},
        {"/s/u probe.exe", 0},
        {"\"pro\"be.exe", ERROR_INVALID_PARAMETER}, // pieced together: not in the raw command line
        {notAProgram, ERROR_BAD_EXE_FORMAT},        // a system text with an insert reference
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        ExpectCreationReport(RunProgram(QuotedLauncher() + " " + c.arguments), c.errorCode);
    }
    EXPECT_NE(SystemText(ERROR_BAD_EXE_FORMAT).find("%1"), std::string::npos);
}

TEST(Launch, WildcardsAreNotExpanded)
{
    // Expanded, "prob?.exe" would become "probe.exe", which does not stand in the
    // raw command line: the report would be the invalid-parameter one.
    std::string testsFolder = OwnDirectory();
    SetCurrentDirectoryA(ProgramFolder().c_str());
    ProgramResult result = RunProgram(QuotedLauncher() + " prob?.exe");
    SetCurrentDirectoryA(testsFolder.c_str());
    ExpectCreationReport(result, 0);
    EXPECT_EQ(result.errors.find(SystemText(ERROR_INVALID_PARAMETER)), std::string::npos) << result.errors;
}

} // namespace
