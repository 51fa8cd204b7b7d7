// The main routine linked with substitutes for the kernel32 functions it
// calls, to see what it hands them and how it meets their failures: things
// Wine either ignores or cannot be made to do.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "error_output.h"
#include "support/substitute_local_memory.h"

extern "C" int QuenlarkMain(int argumentCount, wchar_t** arguments, wchar_t** environment);

namespace {

// A value no kernel32 call leaves as the last error; the substitutes set it when
// they succeed, so a report read after any later call would show it.
const DWORD UntouchedError = 0x0BADC0DE;
HANDLE const NewProcess = reinterpret_cast<HANDLE>(0x1230);
HANDLE const NewThread = reinterpret_cast<HANDLE>(0x4560);
const DWORD NewProcessId = 0x87654320;

struct Scenario {
    wchar_t commandLine[128];
    DWORD priorityClass;
    DWORD createError; // 0: the call succeeds
    DWORD affinityError;
    DWORD resumeError;
};


struct CreateProcessCall {
    const wchar_t* applicationName;
    std::wstring commandLine;
    bool commandLineWritable;
    bool securityGiven;
    BOOL inheritHandles;
    DWORD flags;
    void* environment;
    const wchar_t* currentDirectory;
    STARTUPINFOW startupInfo;
};

Scenario scenario;
std::vector<std::string> calls;
std::vector<CreateProcessCall> creations;
std::vector<std::pair<std::string, DWORD>> reports;

BOOL Succeed()
{
    SetLastError(UntouchedError);
    return TRUE;
}

BOOL FailWith(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

// Windows' own text, which no program may write into: read-only here.
LPWSTR WINAPI SubstituteGetCommandLineW()
{
    calls.push_back("GetCommandLineW");
    static wchar_t* text = static_cast<wchar_t*>(VirtualAlloc(NULL, 4096, MEM_COMMIT, PAGE_READWRITE));
    DWORD protection = 0;
    VirtualProtect(text, 4096, PAGE_READWRITE, &protection);
    wcscpy(text, scenario.commandLine);
    VirtualProtect(text, 4096, PAGE_READONLY, &protection);
    Succeed();
    return text;
}

DWORD WINAPI SubstituteGetPriorityClass(HANDLE process)
{
    calls.push_back(process == GetCurrentProcess() ? "GetPriorityClass(self)" : "GetPriorityClass(other)");
    Succeed();
    return scenario.priorityClass;
}

BOOL WINAPI SubstituteCreateProcessW(LPCWSTR applicationName, LPWSTR commandLine,
                                     LPSECURITY_ATTRIBUTES processSecurity, LPSECURITY_ATTRIBUTES threadSecurity,
                                     BOOL inheritHandles, DWORD flags, LPVOID environment, LPCWSTR currentDirectory,
                                     LPSTARTUPINFOW startupInfo, LPPROCESS_INFORMATION processInfo)
{
    calls.push_back("CreateProcessW");
    MEMORY_BASIC_INFORMATION memory = {};
    VirtualQuery(commandLine, &memory, sizeof memory);
    bool writable = (memory.Protect & (PAGE_READWRITE | PAGE_WRITECOPY)) != 0;
    creations.push_back({applicationName, commandLine, writable, processSecurity != NULL || threadSecurity != NULL,
                         inheritHandles, flags, environment, currentDirectory, *startupInfo});
    if (writable)
        commandLine[0] = L'\0'; // as Windows may, while it looks for the program
    if (scenario.createError != 0)
        return FailWith(scenario.createError);
    *processInfo = {NewProcess, NewThread, NewProcessId, 0x789};
    return Succeed();
}

BOOL WINAPI SubstituteSetProcessAffinityMask(HANDLE process, DWORD_PTR mask)
{
    calls.push_back(process == NewProcess && mask == 1 ? "SetProcessAffinityMask(new, 1)" : "SetProcessAffinityMask(?)");
    return scenario.affinityError != 0 ? FailWith(scenario.affinityError) : Succeed();
}

DWORD WINAPI SubstituteResumeThread(HANDLE thread)
{
    calls.push_back(thread == NewThread ? "ResumeThread(new)" : "ResumeThread(?)");
    if (scenario.resumeError != 0) {
        FailWith(scenario.resumeError);
        return static_cast<DWORD>(-1);
    }
    Succeed();
    return 1; // the suspend count before resuming
}

SUBSTITUTE_IMPORT(GetCommandLineW, SubstituteGetCommandLineW);
SUBSTITUTE_IMPORT(GetPriorityClass, SubstituteGetPriorityClass);
SUBSTITUTE_IMPORT(CreateProcessW, SubstituteCreateProcessW);
SUBSTITUTE_IMPORT(SetProcessAffinityMask, SubstituteSetProcessAffinityMask);
SUBSTITUTE_IMPORT(ResumeThread, SubstituteResumeThread);

DWORD RunMain(const Scenario& given, std::vector<const wchar_t*> arguments)
{
    scenario = given;
    calls.clear();
    creations.clear();
    reports.clear();
    arguments.push_back(NULL);
    testing::internal::CaptureStdout();
    int result = QuenlarkMain(static_cast<int>(arguments.size() - 1), const_cast<wchar_t**>(arguments.data()), NULL);
    testing::internal::GetCapturedStdout();
    return static_cast<DWORD>(result);
}

typedef std::vector<std::string> Calls;
typedef std::vector<std::pair<std::string, DWORD>> Reports;

TEST(LauncherRoutine, CreatesTheProcessSuspendedInANewConsoleAndGroupAtItsOwnPriority)
{
    for (DWORD priorityClass : {0ul, static_cast<DWORD>(HIGH_PRIORITY_CLASS), static_cast<DWORD>(IDLE_PRIORITY_CLASS)}) {
        SCOPED_TRACE(priorityClass);
        EXPECT_EQ(RunMain({L"quenlark app.exe x", priorityClass, 0, 0, 0}, {L"quenlark", L"app.exe", L"x"}),
                  NewProcessId);
        ASSERT_EQ(creations.size(), 1u);
        const CreateProcessCall& call = creations[0];
        EXPECT_EQ(call.applicationName, nullptr);
        EXPECT_EQ(call.commandLine, L"app.exe x");
        EXPECT_TRUE(call.commandLineWritable) << "handed Windows' own command line, which CreateProcessW may write into";
        EXPECT_FALSE(call.securityGiven);
        EXPECT_FALSE(call.inheritHandles);
        EXPECT_EQ(call.flags, priorityClass | 0x214);
        EXPECT_EQ(call.environment, nullptr);
        EXPECT_EQ(call.currentDirectory, nullptr);

        STARTUPINFOW expected = {};
        expected.cb = sizeof expected;
        EXPECT_EQ(memcmp(&call.startupInfo, &expected, sizeof expected), 0) << "only the size is set";
        EXPECT_TRUE(unreleased.empty()) << "the copy of the command text is not released";
    }
    EXPECT_EQ(calls, Calls({"GetPriorityClass(self)", "GetCommandLineW", "CreateProcessW", "ResumeThread(new)"}));
}

TEST(LauncherRoutine, SetsAffinityBeforeResumingAndResumesOnlyWithoutSlashS)
{
    struct Case {
        std::vector<const wchar_t*> arguments;
        Calls afterCreation;
    };
    const Case cases[] = {
        {{L"q", L"app"}, {"ResumeThread(new)"}},
        {{L"q", L"/u", L"app"}, {"SetProcessAffinityMask(new, 1)", "ResumeThread(new)"}},
        {{L"q", L"/s", L"app"}, {}},
        {{L"q", L"/S", L"/u", L"/U", L"app"}, {"SetProcessAffinityMask(new, 1)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.size());
        std::wstring line = L"q";
        for (size_t i = 1; i < c.arguments.size(); ++i)
            line += std::wstring(L" ") + c.arguments[i];
        Scenario given = {};
        wcscpy(given.commandLine, line.c_str());
        EXPECT_EQ(RunMain(given, c.arguments), NewProcessId);
        Calls afterCreation(calls.begin() + 3, calls.end());
        EXPECT_EQ(afterCreation, c.afterCreation);
        EXPECT_TRUE(reports.empty());
    }
}

TEST(LauncherRoutine, ReportsEachFailureWithTheErrorOfTheCallThatFailed)
{
    struct Case {
        Scenario scenario;
        DWORD result;
        Calls afterCreation;
        Reports reports;
    };
    const Case cases[] = {
        {{L"q /u app", 0, ERROR_FILE_NOT_FOUND, 0, 0}, 0, {}, {{"Error creating process", ERROR_FILE_NOT_FOUND}}},
        {{L"q /u app", 0, 0, ERROR_ACCESS_DENIED, 0},
         NewProcessId,
         {"SetProcessAffinityMask(new, 1)", "ResumeThread(new)"},
         {{"Error setting affinity mask for new process", ERROR_ACCESS_DENIED}}},
        {{L"q /u app", 0, 0, 0, ERROR_INVALID_HANDLE},
         NewProcessId,
         {"SetProcessAffinityMask(new, 1)", "ResumeThread(new)"},
         {{"Error resuming thread", ERROR_INVALID_HANDLE}}},
        {{L"q /u app", 0, 0, ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE},
         NewProcessId,
         {"SetProcessAffinityMask(new, 1)", "ResumeThread(new)"},
         {{"Error setting affinity mask for new process", ERROR_ACCESS_DENIED},
          {"Error resuming thread", ERROR_INVALID_HANDLE}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.scenario.createError << "/" << c.scenario.affinityError << "/"
                                        << c.scenario.resumeError);
        EXPECT_EQ(RunMain(c.scenario, {L"q", L"/u", L"app"}), c.result);
        Calls afterCreation(calls.begin() + 3, calls.end());
        EXPECT_EQ(afterCreation, c.afterCreation);
        EXPECT_EQ(reports, c.reports);
    }
}

TEST(LauncherRoutine, ReportsAFailedCopyOfTheCommandTextAsAFailedLaunch)
{
    allocationFails = true;
    EXPECT_EQ(RunMain({L"q app", 0, 0, 0, 0}, {L"q", L"app"}), 0u);
    allocationFails = false;
    EXPECT_TRUE(creations.empty());
    EXPECT_EQ(reports, Reports({{"Error creating process", ERROR_NOT_ENOUGH_MEMORY}}));
    // A failed creation releases the copy too.
    EXPECT_EQ(RunMain({L"q app", 0, ERROR_FILE_NOT_FOUND, 0, 0}, {L"q", L"app"}), 0u);
    EXPECT_TRUE(unreleased.empty());
}

} // namespace

// Stands in for the real error output: records what would be reported, with the
// last error as the report would read it.
void ReportLastError(const wchar_t* message)
{
    reports.emplace_back(std::string(message, message + wcslen(message)), GetLastError());
}
