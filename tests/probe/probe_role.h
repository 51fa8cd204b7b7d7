#ifndef QUENLARK_TESTS_PROBE_ROLE_H
#define QUENLARK_TESTS_PROBE_ROLE_H

// The probe: what a program started through the launcher reports of itself.
// It inherits, by way of the launcher, a report file and a pair of events named
// in the environment: it writes its report, signals "<events>-ready" and stays
// until "<events>-release". On kernel32 and msvcrt, its buffers static: ARM64
// has no C++ runtime and no stack probe (__chkstk) for a 4 KB frame.
#include <windows.h>
#include <stdio.h>
#include <wchar.h>

static const wchar_t ProbeReportVariable[] = L"QUENLARK_PROBE_REPORT";
static const wchar_t ProbeEventsVariable[] = L"QUENLARK_PROBE_EVENTS";
static const wchar_t ProbeReadySuffix[] = L"-ready";
static const wchar_t ProbeReleaseSuffix[] = L"-release";
// Set by the cases: a variable the probe reports as it
// inherited it, and, set to anything, that it first raises Ctrl+C and
// Ctrl+Break on its console and reports which reached its handler.
static const wchar_t ProbeVariableVariable[] = L"QUENLARK_PROBE_VARIABLE";
static const wchar_t ProbeControlEventsVariable[] = L"QUENLARK_PROBE_CONTROL_EVENTS";

// The longest either side waits for the other. A probe under qemu-aarch64
// takes seconds to start, more on a loaded machine; one not there by then hangs.
static const DWORD ProbeTimeLimit = 20000;

static wchar_t probeReport[8192];

static inline void AppendProbeLine(const wchar_t* name, const wchar_t* value)
{
    size_t length = wcslen(probeReport);
    size_t room = sizeof probeReport / sizeof probeReport[0] - length - 1;
    _snwprintf(probeReport + length, room, L"%ls=%ls\n", name, value);
    probeReport[sizeof probeReport / sizeof probeReport[0] - 1] = L'\0';
}

static HANDLE probeControlEventSeen[2]; // Ctrl+C, Ctrl+Break

static inline BOOL WINAPI NoteProbeControlEvent(DWORD event)
{
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT)
        SetEvent(probeControlEventSeen[event == CTRL_C_EVENT ? 0 : 1]);
    return TRUE;
}

// Raises the event on every process of this console (the probe's own, unless
// it shares one) and says whether the handler saw it within a second.
static inline const wchar_t* RaiseProbeControlEvent(DWORD event, wchar_t* text, size_t size)
{
    if (!GenerateConsoleCtrlEvent(event, 0))
        _snwprintf(text, size, L"not raised, error %lu", GetLastError());
    else if (WaitForSingleObject(probeControlEventSeen[event == CTRL_C_EVENT ? 0 : 1], 1000) == WAIT_OBJECT_0)
        _snwprintf(text, size, L"reached");
    else
        _snwprintf(text, size, L"ignored");
    text[size - 1] = L'\0';
    return text;
}

static inline void ReportProbeControlEvents(wchar_t* value, size_t size)
{
    if (GetEnvironmentVariableW(ProbeControlEventsVariable, value, static_cast<DWORD>(size)) == 0) {
        _snwprintf(value, size, L"(not raised)");
        return;
    }
    probeControlEventSeen[0] = CreateEventW(NULL, TRUE, FALSE, NULL);
    probeControlEventSeen[1] = CreateEventW(NULL, TRUE, FALSE, NULL);
    if (probeControlEventSeen[0] == NULL || probeControlEventSeen[1] == NULL ||
        !SetConsoleCtrlHandler(NoteProbeControlEvent, TRUE)) {
        _snwprintf(value, size, L"no handler, error %lu", GetLastError());
        return;
    }
    wchar_t ctrlC[64], ctrlBreak[64];
    RaiseProbeControlEvent(CTRL_C_EVENT, ctrlC, 64);
    RaiseProbeControlEvent(CTRL_BREAK_EVENT, ctrlBreak, 64);
    _snwprintf(value, size, L"ctrl-c %ls, ctrl-break %ls", ctrlC, ctrlBreak);
    value[size - 1] = L'\0';
}

// Writes the report (UTF-16, one "name=value" a line, so that every code unit
// of the command line is kept), says it is ready and stays until released.
// Returns 1 where it was not started as a probe.
static inline int RunProbe()
{
    static wchar_t value[1024], reportPath[MAX_PATH], events[64], event[96];
    DWORD length = GetEnvironmentVariableW(ProbeReportVariable, reportPath, MAX_PATH);
    DWORD eventsLength = GetEnvironmentVariableW(ProbeEventsVariable, events, 64);
    if (length == 0 || length >= MAX_PATH || eventsLength == 0 || eventsLength >= 64)
        return 1;

    probeReport[0] = L'\0';
    _snwprintf(value, 64, L"%lu", GetCurrentProcessId());
    AppendProbeLine(L"pid", value);
    AppendProbeLine(L"commandline", GetCommandLineW());
    DWORD_PTR processMask = 0, systemMask = 0;
    GetProcessAffinityMask(GetCurrentProcess(), &processMask, &systemMask);
    _snwprintf(value, 64, L"%llu", static_cast<unsigned long long>(processMask));
    AppendProbeLine(L"affinity", value);
    _snwprintf(value, 64, L"%lu", GetPriorityClass(GetCurrentProcess()));
    AppendProbeLine(L"priority", value);
    value[0] = L'\0';
    GetCurrentDirectoryW(1024, value);
    AppendProbeLine(L"directory", value);
    DWORD variableLength = GetEnvironmentVariableW(ProbeVariableVariable, value, 1024);
    AppendProbeLine(L"variable", variableLength > 0 && variableLength < 1024 ? value : L"(none)");
    DWORD processes[16];
    DWORD count = GetConsoleProcessList(processes, 16);
    value[0] = L'\0';
    for (DWORD i = 0; i < count && i < 16; ++i)
        _snwprintf(value + wcslen(value), 16, L"%lu,", processes[i]);
    AppendProbeLine(L"console", value);
    ReportProbeControlEvents(value, 1024);
    AppendProbeLine(L"control-events", value);

    FILE* file = _wfopen(reportPath, L"wb");
    if (file != NULL) {
        fwrite(probeReport, sizeof(wchar_t), wcslen(probeReport), file);
        fclose(file);
    }
    _snwprintf(event, 95, L"%ls%ls", events, ProbeReadySuffix);
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, event);
    _snwprintf(event, 95, L"%ls%ls", events, ProbeReleaseSuffix);
    HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, event);
    if (ready != NULL)
        SetEvent(ready);
    if (release != NULL)
        WaitForSingleObject(release, ProbeTimeLimit);
    return 0;
}

#endif
