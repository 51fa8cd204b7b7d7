// The least a launcher can do, to measure quenlark against: no C runtime, only
// kernel32. Starts the rest of its raw command line suspended in a new console
// and process group, resumes it and exits with its process id (0 on failure).
#include <windows.h>

static char* SkipProgramName(char* p)
{
    if (*p == '"') {
        for (++p; *p != '\0' && *p != '"'; ++p) {
        }
        if (*p == '"')
            ++p;
    } else {
        while (*p != '\0' && *p != ' ' && *p != '\t')
            ++p;
    }
    while (*p == ' ' || *p == '\t')
        ++p;
    return p;
}

extern "C" void FloorLauncherStart()
{
    STARTUPINFOA startupInfo;
    SecureZeroMemory(&startupInfo, sizeof startupInfo);
    startupInfo.cb = sizeof startupInfo;
    PROCESS_INFORMATION processInfo;
    if (!CreateProcessA(NULL, SkipProgramName(GetCommandLineA()), NULL, NULL, FALSE,
                        CREATE_SUSPENDED | CREATE_NEW_CONSOLE | CREATE_NEW_PROCESS_GROUP, NULL, NULL, &startupInfo,
                        &processInfo))
        ExitProcess(0);
    ResumeThread(processInfo.hThread);
    ExitProcess(processInfo.dwProcessId);
}
