// Runs every test program of the kit that this Windows can run, each in a job
// of its own, and prints a line for each from the totals it leaves
// (support/result_totals.h) and a closing "N passed, N failed, N skipped"
// (docs/testing.md, "On Windows: the test kit").
// Usage: run-tests.exe [REPORT_FOLDER]
#include <windows.h>
#include <stdio.h>
#include <wchar.h>

#include <string>

#include "support/folder_tree.h"
#include "support/kill_on_close_job.h"
#include "support/result_totals.h"

// A test program that runs longer has hung (kit/CMakeLists.txt).
static const DWORD TestProgramTimeLimit = TEST_PROGRAM_SECONDS * 1000;

static std::wstring OwnFolder()
{
    // A path too long for the buffer comes back cut short: the kit's programs
    // are then not found, and each counts as failed.
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(NULL, path, MAX_PATH);
    std::wstring own(path, length);
    return own.substr(0, own.find_last_of(L'\\'));
}

static std::string ReadFileBytes(const std::wstring& path)
{
    std::string bytes;
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (file == NULL)
        return bytes;
    char buffer[4096];
    for (size_t count; (count = fread(buffer, 1, sizeof buffer, file)) > 0;)
        bytes.append(buffer, count);
    fclose(file);
    return bytes;
}

// Runs the program to its end, at most TestProgramTimeLimit, with its output
// in the log, and returns its exit status. It runs in a job, so that it and
// everything it started end with it, whether it finished, crashed or hung;
// where jobs cannot nest (before Windows 8, inside another job), it runs
// without one. Sets `failure` when it could not be run to its end.
static DWORD RunInJob(std::wstring commandLine, const std::wstring& logPath, std::wstring* failure)
{
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, NULL, TRUE};
    HANDLE log = CreateFileW(logPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, NULL);
    if (log == INVALID_HANDLE_VALUE) {
        *failure = L"cannot write " + logPath;
        return 1;
    }
    STARTUPINFOW startupInfo = {};
    startupInfo.cb = sizeof startupInfo;
    startupInfo.dwFlags = STARTF_USESTDHANDLES;
    startupInfo.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startupInfo.hStdOutput = log;
    startupInfo.hStdError = log;
    PROCESS_INFORMATION process;
    BOOL created = CreateProcessW(NULL, &commandLine[0], NULL, NULL, TRUE, CREATE_SUSPENDED, NULL, NULL,
                                  &startupInfo, &process);
    DWORD createError = GetLastError();
    CloseHandle(log);
    if (!created) {
        *failure = L"cannot start it, error " + std::to_wstring(createError);
        return 1;
    }

    HANDLE job = CreateKillOnCloseJob();
    if (job != NULL && !AssignProcessToJobObject(job, process.hProcess)) {
        CloseHandle(job);
        job = NULL;
    }
    if (ResumeThread(process.hThread) == static_cast<DWORD>(-1))
        *failure = L"cannot resume it, error " + std::to_wstring(GetLastError());
    else if (WaitForSingleObject(process.hProcess, TestProgramTimeLimit) != WAIT_OBJECT_0)
        *failure = L"still running after " + std::to_wstring(TestProgramTimeLimit / 1000) + L" s, ended";
    TerminateProcess(process.hProcess, 1); // no effect once it has ended
    WaitForSingleObject(process.hProcess, 5000);
    DWORD exitStatus = 1;
    GetExitCodeProcess(process.hProcess, &exitStatus);
    if (job != NULL)
        CloseHandle(job);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return exitStatus;
}

static void RunTestProgram(const std::wstring& target, const std::wstring& program, const std::wstring& reports,
                           ResultTotals* totals)
{
    std::wstring name = target + L"\\" + program;
    std::wstring path = OwnFolder() + L"\\" + name;
    std::wstring stem = reports + L"\\" + target + L"-" + program.substr(0, program.rfind(L'.'));
    std::wstring failure;
    bool missing = GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES;
    if (missing)
        failure = L"missing from the kit";

    std::wstring totalsPath = stem + L".totals";
    DeleteFileW(totalsPath.c_str());
    DWORD exitStatus = 0;
    if (failure.empty() && !SetEnvironmentVariableW(ResultTotalsVariable, totalsPath.c_str()))
        failure = L"cannot name its totals file, error " + std::to_wstring(GetLastError());
    if (failure.empty())
        exitStatus = RunInJob(L"\"" + path + L"\" \"--gtest_output=xml:" + stem + L".xml\"", stem + L".log", &failure);
    ResultTotals counts = {0, 0, 0};
    bool reported = ReadResultTotals(totalsPath.c_str(), &counts);
    DeleteFileW(totalsPath.c_str());
    if (failure.empty() && !reported)
        failure = L"left no totals, exit status " + std::to_wstring(exitStatus);
    if (failure.empty() && exitStatus != 0 && counts.failed == 0)
        failure = L"exit status " + std::to_wstring(exitStatus) + L" with no failed test";

    if (!failure.empty())
        ++counts.failed;
    wprintf(L"%ls: %u passed, %u failed, %u skipped", name.c_str(), counts.passed, counts.failed, counts.skipped);
    if (!failure.empty())
        wprintf(L" -- FAILED: %ls", failure.c_str());
    if (!failure.empty() && !missing)
        wprintf(L" (output: %ls.log)", stem.c_str());
    wprintf(L"\n");
    fflush(stdout);
    // A failure's whole story where the runner's own output is all that is
    // kept, as in a CI job's log.
    if (!failure.empty() && !missing) {
        std::string output = ReadFileBytes(stem + L".log");
        fwrite(output.data(), 1, output.size(), stdout);
        wprintf(L"--- end of %ls's output\n", name.c_str());
        fflush(stdout);
    }
    totals->passed += counts.passed;
    totals->failed += counts.failed;
    totals->skipped += counts.skipped;
}

// The programs a target's folder lists, one name a line.
static void RunTargetTests(const std::wstring& target, const std::wstring& reports, ResultTotals* totals)
{
    std::wstring listPath = OwnFolder() + L"\\" + target + L"\\test-programs.txt";
    FILE* list = _wfopen(listPath.c_str(), L"r");
    if (list == NULL) {
        wprintf(L"FAILED %ls: the list of test programs is missing\n", target.c_str());
        ++totals->failed;
        return;
    }
    char line[MAX_PATH];
    while (fgets(line, sizeof line, list) != NULL) {
        std::string program = line;
        program.erase(program.find_last_not_of("\r\n") + 1);
        if (!program.empty())
            RunTestProgram(target, std::wstring(program.begin(), program.end()), reports, totals);
    }
    fclose(list);
}

// Why this Windows cannot run a target's programs, or NULL where it can: the
// answer is Windows' own, which refuses to start the target's probe for its
// machine type (64-bit programs on 32-bit Windows, ARM64 ones on x86 and x64
// Windows, x64 ones on Windows 10 on ARM64). Such programs are not run, and
// count neither as passed nor as failed.
static const wchar_t* CannotRun(const std::wstring& target)
{
    static std::wstring reason;
    std::wstring probe = L"\"" + OwnFolder() + L"\\" + target + L"\\probe.exe\"";
    STARTUPINFOW startupInfo = {};
    startupInfo.cb = sizeof startupInfo;
    PROCESS_INFORMATION process;
    if (CreateProcessW(NULL, &probe[0], NULL, NULL, FALSE, CREATE_SUSPENDED, NULL, NULL, &startupInfo, &process)) {
        TerminateProcess(process.hProcess, 0);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return NULL;
    }
    DWORD error = GetLastError();
    if (error != ERROR_BAD_EXE_FORMAT && error != ERROR_EXE_MACHINE_TYPE_MISMATCH)
        return NULL;
    reason = L"this Windows runs no programs for its machine (error " + std::to_wstring(error) + L")";
    return reason.c_str();
}

int wmain(int argumentCount, wchar_t** arguments)
{
    wchar_t temporary[MAX_PATH];
    DWORD length = GetTempPathW(MAX_PATH, temporary);
    if (length == 0 || length >= MAX_PATH) {
        wprintf(L"run-tests: no temporary folder\n");
        return 2;
    }
    std::wstring own = std::wstring(temporary) + L"quenlark-test-kit-" + std::to_wstring(GetCurrentProcessId()) +
                       L"-" + std::to_wstring(GetTickCount());
    std::wstring work = own + L"\\work";
    wchar_t full[MAX_PATH];
    std::wstring reports = argumentCount < 2 ? own + L"\\reports"
                           : _wfullpath(full, arguments[1], MAX_PATH) != NULL ? full : arguments[1];
    // The test programs keep their own files in the temporary folder; a report
    // folder named by the caller may exist already.
    if (!CreateDirectoryW(own.c_str(), NULL) || !CreateDirectoryW(work.c_str(), NULL) ||
        (!CreateDirectoryW(reports.c_str(), NULL) && GetLastError() != ERROR_ALREADY_EXISTS) ||
        !SetEnvironmentVariableW(L"TEMP", work.c_str()) || !SetEnvironmentVariableW(L"TMP", work.c_str())) {
        wprintf(L"run-tests: cannot prepare %ls, error %lu\n", own.c_str(), GetLastError());
        return 2;
    }

    ResultTotals totals = {0, 0, 0};
    for (const wchar_t* target : {L"x86", L"x64", L"arm64"}) {
        const wchar_t* reason = CannotRun(target);
        if (reason == NULL)
            RunTargetTests(target, reports, &totals);
        else
            wprintf(L"%ls: not run, %ls\n", target, reason);
    }

    RemoveFolderTree(work.c_str());
    if (argumentCount > 1)
        RemoveDirectoryW(own.c_str());
    wprintf(L"XML reports and output: %ls\n", reports.c_str());
    wprintf(L"%u passed, %u failed, %u skipped\n", totals.passed, totals.failed, totals.skipped);
    return totals.failed == 0 && totals.passed > 0 ? 0 : 1;
}
