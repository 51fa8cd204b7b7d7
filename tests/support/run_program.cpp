#include "run_program.h"

#include <windows.h>
#include <gtest/gtest.h>
#include <cstdio>
#include <stdexcept>
#include <vector>

#include "kill_on_close_job.h"
#include "owned_handle.h"
#include "wine_retries.h"

// Pipes large enough for all a launcher writes, so that it never waits on them.
const DWORD PipeSize = 65536;

// What stands in the pipe now. Reading to its end instead would hang whenever
// some other process (a wrongly inherited handle) still holds the write end.
static std::string ReadWhatIsThere(HANDLE pipe)
{
    std::string bytes;
    char buffer[4096];
    DWORD available = 0, count = 0;
    while (PeekNamedPipe(pipe, NULL, 0, NULL, &available, NULL) && available > 0 &&
           ReadFile(pipe, buffer, sizeof buffer, &count, NULL) && count > 0)
        bytes.append(buffer, count);
    return bytes;
}

// Every program a test starts, and every process that one starts in turn, is
// in this job; when the test ends, whether it passed or not, they all end (and
// when the test program ends, even by a crash), so that none left suspended or
// waiting holds a pipe of the test run open.
static HANDLE StartedPrograms()
{
    static HANDLE job = CreateKillOnCloseJob();
    return job;
}

class EndStartedPrograms : public testing::EmptyTestEventListener {
    void OnTestEnd(const testing::TestInfo&) override
    {
        if (StartedPrograms() != NULL)
            TerminateJobObject(StartedPrograms(), 1);
    }
};
static const bool endStartedProgramsAfterEachTest =
    (testing::UnitTest::GetInstance()->listeners().Append(new EndStartedPrograms), true);

static DWORD StartSuspended(const std::wstring& commandLine, unsigned long creationFlags,
                            const wchar_t* applicationName, STARTUPINFOW* startupInfo, PROCESS_INFORMATION* processInfo)
{
    std::vector<wchar_t> mutableLine(commandLine.begin(), commandLine.end());
    mutableLine.push_back(L'\0');
    if (!CreateProcessW(applicationName, mutableLine.data(), NULL, NULL, TRUE, creationFlags | CREATE_SUSPENDED, NULL,
                        NULL, startupInfo, processInfo))
        return GetLastError();
    return ERROR_SUCCESS;
}

ProgramResult RunProgram(const std::wstring& commandLine, unsigned long creationFlags, const wchar_t* applicationName)
{
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, NULL, TRUE};
    OwnedHandle outputRead, outputWrite, errorsRead, errorsWrite;
    if (!CreatePipe(outputRead.Receive(), outputWrite.Receive(), &inheritable, PipeSize) ||
        !CreatePipe(errorsRead.Receive(), errorsWrite.Receive(), &inheritable, PipeSize))
        throw std::runtime_error("CreatePipe failed");
    SetHandleInformation(outputRead.Get(), HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errorsRead.Get(), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startupInfo = {};
    startupInfo.cb = sizeof startupInfo;
    startupInfo.dwFlags = STARTF_USESTDHANDLES;
    startupInfo.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startupInfo.hStdOutput = outputWrite.Get();
    startupInfo.hStdError = errorsWrite.Get();
    PROCESS_INFORMATION processInfo;
    DWORD createError = StartSuspended(commandLine, creationFlags, applicationName, &startupInfo, &processInfo);
    if (WineFailedToStart(createError)) {
        std::printf("%s\n", (testing::Message() << "Wine failed to start " << commandLine << " (error 1359: the new "
                              "process ended before any of its code ran); trying once more").GetString().c_str());
        createError = StartSuspended(commandLine, creationFlags, applicationName, &startupInfo, &processInfo);
    }
    // Only the program holds the write ends now, so that its output ends with it.
    outputWrite.Close();
    errorsWrite.Close();
    if (createError != ERROR_SUCCESS)
        throw std::runtime_error("cannot start a program, error " + std::to_string(createError));
    OwnedHandle process(processInfo.hProcess), thread(processInfo.hThread);
    // In the job before it can start anything; where jobs cannot nest (before
    // Windows 8, inside another job), the program runs outside it.
    if (StartedPrograms() != NULL)
        AssignProcessToJobObject(StartedPrograms(), process.Get());
    if (ResumeThread(thread.Get()) == static_cast<DWORD>(-1)) {
        DWORD resumeError = GetLastError();
        TerminateProcess(process.Get(), 1);
        throw std::runtime_error("cannot resume a program, error " + std::to_string(resumeError));
    }

    ProgramResult result;
    result.commandLine = commandLine;
    if (WaitForSingleObject(process.Get(), 60000) != WAIT_OBJECT_0)
        throw std::runtime_error("a program still runs after a minute");
    GetExitCodeProcess(process.Get(), &result.exitStatus);
    result.output = ReadWhatIsThere(outputRead.Get());
    result.errors = ReadWhatIsThere(errorsRead.Get());
    return result;
}

std::string DescribeRun(const ProgramResult& result)
{
    return (testing::Message() << "command line: " << result.commandLine << "\nexit status: " << result.exitStatus
                               << "\nstandard output: " << testing::PrintToString(result.output)
                               << "\nstandard error: " << testing::PrintToString(result.errors))
        .GetString();
}

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(NULL, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\'));
}
