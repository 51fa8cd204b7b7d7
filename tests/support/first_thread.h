#ifndef QUENLARK_TESTS_FIRST_THREAD_H
#define QUENLARK_TESTS_FIRST_THREAD_H

// Header only, with no C++ runtime in it: the end-to-end cases, which run on
// every build, ARM64 too, use it with the benchmark.
#include <windows.h>
#include <tlhelp32.h>

// The id of a thread of the process, its only one while it is left suspended
// at creation; 0 when there is none or the threads cannot be listed.
inline DWORD FirstThreadOf(DWORD processId)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    DWORD threadId = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more && threadId == 0; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == processId)
            threadId = entry.th32ThreadID;
    CloseHandle(snapshot);
    return threadId;
}

#endif
