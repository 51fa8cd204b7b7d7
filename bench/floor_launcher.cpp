// The least a launcher can do, to measure quenlark against: no C runtime, only
// kernel32, and the UTF-16 calls that quenlark makes (the ANSI ones would only
// add a conversion). Starts the rest of its raw command line suspended in a new
// console and process group, resumes it and exits with its process id (0 on
// failure).
#include <windows.h>

static wchar_t* SkipProgramName(wchar_t* p)
{
    if (*p == L'"') {
        for (++p; *p != L'\0' && *p != L'"'; ++p) {
        }
        if (*p == L'"')
            ++p;
    } else {
        while (*p != L'\0' && *p != L' ' && *p != L'\t')
            ++p;
    }
    while (*p == L' ' || *p == L'\t')
        ++p;
    return p;
}

extern "C" void FloorLauncherStart()
{
    STARTUPINFOW startupInfo;
    SecureZeroMemory(&startupInfo, sizeof startupInfo);
    startupInfo.cb = sizeof startupInfo;
    PROCESS_INFORMATION processInfo;
    if (!CreateProcessW(NULL, SkipProgramName(GetCommandLineW()), NULL, NULL, FALSE,
                        CREATE_SUSPENDED | CREATE_NEW_CONSOLE | CREATE_NEW_PROCESS_GROUP, NULL, NULL, &startupInfo,
                        &processInfo))
        ExitProcess(0);
    ResumeThread(processInfo.hThread);
    ExitProcess(processInfo.dwProcessId);
}
