// quenlark: creates a process and returns its process id as the exit status.
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "command_text.h"
#include "error_output.h"

static const char UsageText[] =
    "Creates a process and returns process id.\r\n"
    "Syntax:\r\n\n"
    "quenlark [/u] [/s] commandline\r\n\n"
    "/u    Run on first processor only.\r\n"
    "/s    Create suspended.";

// Always suspended at first, so that /u can set the affinity before the new
// process runs any code.
static const DWORD LaunchFlags = CREATE_SUSPENDED | CREATE_NEW_CONSOLE | CREATE_NEW_PROCESS_GROUP;

int main(int, char** argv, char**)
{
    STARTUPINFOA startupInfo;
    memset(&startupInfo, 0, sizeof startupInfo);
    startupInfo.cb = sizeof startupInfo;

    bool firstProcessorOnly = false;
    bool leaveSuspended = false;
    int firstWord = 1;
    for (; argv[firstWord] != NULL; ++firstWord) {
        if (_strcmpi(argv[firstWord], "/U") == 0)
            firstProcessorOnly = true;
        else if (_strcmpi(argv[firstWord], "/S") == 0)
            leaveSuspended = true;
        else
            break;
    }

    // An empty word would be found at the very start of the raw command line,
    // and the launcher would start itself again, without end.
    if (argv[firstWord] == NULL || argv[firstWord][0] == '\0') {
        puts(UsageText);
        return 0;
    }

    DWORD priorityClass = GetPriorityClass(GetCurrentProcess());

    char* commandText = FindCommandText(GetCommandLineA(), firstWord - 1, argv[firstWord]);
    if (commandText == NULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        ReportLastError("Error creating process");
        return 0;
    }

    PROCESS_INFORMATION processInfo;
    if (!CreateProcessA(NULL, commandText, NULL, NULL, FALSE, priorityClass | LaunchFlags, NULL, NULL,
                        &startupInfo, &processInfo)) {
        ReportLastError("Error creating process");
        return 0;
    }

    if (firstProcessorOnly && !SetProcessAffinityMask(processInfo.hProcess, 1))
        ReportLastError("Error setting affinity mask for new process");

    if (!leaveSuspended && ResumeThread(processInfo.hThread) == (DWORD)-1)
        ReportLastError("Error resuming thread");

    // The handles stay open until the launcher ends, right after this returns.
    return (int)processInfo.dwProcessId;
}
