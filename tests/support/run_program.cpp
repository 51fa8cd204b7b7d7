#include "run_program.h"

#include <windows.h>
#include <stdexcept>
#include <vector>

static std::string ReadToEnd(HANDLE pipe)
{
    std::string bytes;
    char buffer[4096];
    DWORD count = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &count, NULL) && count > 0)
        bytes.append(buffer, count);
    return bytes;
}

ProgramResult RunProgram(const std::string& commandLine, unsigned long creationFlags)
{
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, NULL, TRUE};
    HANDLE outputRead, outputWrite, errorsRead, errorsWrite;
    if (!CreatePipe(&outputRead, &outputWrite, &inheritable, 0) || !CreatePipe(&errorsRead, &errorsWrite, &inheritable, 0))
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
    result.output = ReadToEnd(outputRead);
    result.errors = ReadToEnd(errorsRead);
    WaitForSingleObject(processInfo.hProcess, INFINITE);
    GetExitCodeProcess(processInfo.hProcess, &result.exitStatus);
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
