// quenlark: creates a process and returns its process id as the exit status.
// The command line is read and handed on in UTF-16, as Windows keeps it: the
// ANSI forms would lose every character outside the ANSI code page, and their
// best-fit mapping would turn look-alikes such as fullwidth quotes into real
// quotes, splitting the new process's arguments differently from what was typed.
#include <windows.h>
#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include "command_text.h"
#include "error_output.h"

// Plain line feeds: standard output is a text-mode stream, which writes each as
// CR LF, so a console shows these lines and a file or a pipe gets CR LF once.
static const char UsageText[] =
    "Creates a process and returns process id.\n"
    "Syntax:\n\n"
    "quenlark [/u] [/s] commandline\n\n"
    "/u    Run on first processor only.\n"
    "/s    Create suspended.";

// Always suspended at first, so that /u can set the affinity before the new
// process runs any code.
static const DWORD LaunchFlags = CREATE_SUSPENDED | CREATE_NEW_CONSOLE | CREATE_NEW_PROCESS_GROUP;

// CreateProcessW may write into the command line it is given, and the text
// GetCommandLineW returns is Windows' own, which no program may change: the
// new process gets a copy of ours. On the heap: a command line may hold 32,767
// characters, and ARM64 has no stack probe for a frame that large. NULL, with
// the last error set, when there is no room for it.
static wchar_t* CopyCommandText(const wchar_t* commandText)
{
    SIZE_T size = (wcslen(commandText) + 1) * sizeof(wchar_t);
    wchar_t* copy = static_cast<wchar_t*>(LocalAlloc(LMEM_FIXED, size));
    if (copy == NULL)
        return NULL;
    memcpy(copy, commandText, size);
    return copy;
}

int wmain(int, wchar_t** argv, wchar_t**)
{
    STARTUPINFOW startupInfo;
    memset(&startupInfo, 0, sizeof startupInfo);
    startupInfo.cb = sizeof startupInfo;

    bool firstProcessorOnly = false;
    bool leaveSuspended = false;
    int firstWord = 1;
    for (; argv[firstWord] != NULL; ++firstWord) {
        if (_wcsicmp(argv[firstWord], L"/U") == 0)
            firstProcessorOnly = true;
        else if (_wcsicmp(argv[firstWord], L"/S") == 0)
            leaveSuspended = true;
        else
            break;
    }

    // An empty word would be found at the very start of the raw command line,
    // and the launcher would start itself again, without end.
    if (argv[firstWord] == NULL || argv[firstWord][0] == L'\0') {
        puts(UsageText);
        return 0;
    }

    DWORD priorityClass = GetPriorityClass(GetCurrentProcess());

    wchar_t* commandText = FindCommandText(GetCommandLineW(), argv, firstWord);
    if (commandText == NULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        ReportLastError(L"Error creating process");
        return 0;
    }

    wchar_t* commandCopy = CopyCommandText(commandText);
    if (commandCopy == NULL) {
        ReportLastError(L"Error creating process");
        return 0;
    }

    PROCESS_INFORMATION processInfo;
    if (!CreateProcessW(NULL, commandCopy, NULL, NULL, FALSE, priorityClass | LaunchFlags, NULL, NULL,
                        &startupInfo, &processInfo)) {
        ReportLastError(L"Error creating process");
        LocalFree(commandCopy);
        return 0;
    }
    LocalFree(commandCopy);

    if (firstProcessorOnly && !SetProcessAffinityMask(processInfo.hProcess, 1))
        ReportLastError(L"Error setting affinity mask for new process");

    if (!leaveSuspended && ResumeThread(processInfo.hThread) == (DWORD)-1)
        ReportLastError(L"Error resuming thread");

    // The handles stay open until the launcher ends, right after this returns.
    return (int)processInfo.dwProcessId;
}
