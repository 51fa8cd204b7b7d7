#ifndef QUENLARK_TESTS_PROBE_SESSION_H
#define QUENLARK_TESTS_PROBE_SESSION_H

// The test's side of probe_role.h, for both test sets: header alone, on
// kernel32 and msvcrt, as the ARM64 set has no C++ runtime.
#include <windows.h>
#include <wchar.h>

#include "probe_role.h"

struct ProbeSession {
    wchar_t name[64];            // "quenlark-probe-<test's process id>-<count>"
    wchar_t reportPath[MAX_PATH]; // <folder>\<name>.txt
    HANDLE ready;
    HANDLE release;
};

// Names the next probe's report file in `folder` and its events, makes the
// events, and hands both down through the environment, which the probe
// inherits by way of the launcher.
static inline ProbeSession PrepareProbe(const wchar_t* folder)
{
    static unsigned probeCount = 0;
    ProbeSession session;
    _snwprintf(session.name, 63, L"quenlark-probe-%lu-%u", GetCurrentProcessId(), ++probeCount);
    session.name[63] = L'\0';
    _snwprintf(session.reportPath, MAX_PATH - 1, L"%ls\\%ls.txt", folder, session.name);
    session.reportPath[MAX_PATH - 1] = L'\0';
    wchar_t event[96];
    _snwprintf(event, 95, L"%ls%ls", session.name, ProbeReadySuffix);
    session.ready = CreateEventW(NULL, TRUE, FALSE, event);
    _snwprintf(event, 95, L"%ls%ls", session.name, ProbeReleaseSuffix);
    session.release = CreateEventW(NULL, TRUE, FALSE, event);
    DeleteFileW(session.reportPath);
    SetEnvironmentVariableW(ProbeReportVariable, session.reportPath);
    SetEnvironmentVariableW(ProbeEventsVariable, session.name);
    return session;
}

// Waits until the probe that the launcher said it started (`processId`, its
// exit status) has written its report: not at all when it started none, and
// no longer once that process has ended.
static inline bool AwaitProbe(const ProbeSession& session, DWORD processId)
{
    HANDLE probe = processId != 0 ? OpenProcess(SYNCHRONIZE, FALSE, processId) : NULL;
    if (probe == NULL)
        return false;
    HANDLE readyOrEnded[] = {session.ready, probe};
    DWORD waited = WaitForMultipleObjects(2, readyOrEnded, FALSE, ProbeTimeLimit);
    CloseHandle(probe);
    return waited == WAIT_OBJECT_0;
}

// Lets the probe end and waits until it has, so that nothing of a test
// outlives it and the program files it ran from can be removed; removes its
// report, which has been read by now.
static inline void ReleaseProbe(const ProbeSession& session, DWORD probeProcessId)
{
    SetEvent(session.release);
    HANDLE probe = probeProcessId != 0 ? OpenProcess(SYNCHRONIZE, FALSE, probeProcessId) : NULL;
    if (probe != NULL) {
        WaitForSingleObject(probe, ProbeTimeLimit);
        CloseHandle(probe);
    }
    CloseHandle(session.ready);
    CloseHandle(session.release);
    DeleteFileW(session.reportPath);
}

#endif
