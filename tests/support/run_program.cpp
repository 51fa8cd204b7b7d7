#include "run_program.h"

#include <windows.h>
#include <stdexcept>
#include <vector>

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

ProgramResult RunProgram(const std::string& commandLine, unsigned long creationFlags)
{
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, NULL, TRUE};
    HANDLE outputRead, outputWrite, errorsRead, errorsWrite;
    if (!CreatePipe(&outputRead, &outputWrite, &inheritable, PipeSize) ||
        !CreatePipe(&errorsRead, &errorsWrite, &inheritable, PipeSize))
        throw std::runtime_error("CreatePipe failed");
    SetHandleInformation(outputRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errorsRead, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startupInfo = {};
    startupInfo.cb = sizeof startupInfo;
    startupInfo.dwFlags = STARTF_USESTDHANDLES;
    startupInfo.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startupInfo.hStdOutput = outputWrite;
    startupInfo.hStdError = errorsWrite;
    std::vector<char> mutableLine(commandLine.begin(), commandLine.end());
    mutableLine.push_back('\0');
    PROCESS_INFORMATION processInfo;
    BOOL created = CreateProcessA(NULL, mutableLine.data(), NULL, NULL, TRUE, creationFlags, NULL, NULL, &startupInfo,
                                  &processInfo);
    CloseHandle(outputWrite);
    CloseHandle(errorsWrite);
    if (!created)
        throw std::runtime_error("cannot start " + commandLine);

    ProgramResult result;
    if (WaitForSingleObject(processInfo.hProcess, 60000) != WAIT_OBJECT_0)
        throw std::runtime_error("still running after a minute: " + commandLine);
    GetExitCodeProcess(processInfo.hProcess, &result.exitStatus);
    result.output = ReadWhatIsThere(outputRead);
    result.errors = ReadWhatIsThere(errorsRead);
    CloseHandle(processInfo.hProcess);
    CloseHandle(processInfo.hThread);
    CloseHandle(outputRead);
    CloseHandle(errorsRead);
    return result;
}

std::string ProgramFolder()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of('\\'));
}
