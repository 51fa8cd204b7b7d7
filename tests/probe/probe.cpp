// Started through the launcher by the tests (probe_contract.h): writes what it
// was given to its report file (UTF-16, one "name=value" a line, so that
// every code unit of its command line is kept), signals that it is ready,
// then stays until it is released, so that the tests can look at it while it
// runs. With ProbeControlEventsVariable set,
// it first raises Ctrl+C and Ctrl+Break on its console and reports which of
// them reached its handler.
#include <windows.h>
#include <stdio.h>
#include <string>

#include "probe_contract.h"

static std::wstring Variable(const wchar_t* name)
{
    wchar_t value[1024];
    DWORD length = GetEnvironmentVariableW(name, value, 1024);
    return length > 0 && length < 1024 ? std::wstring(value, length) : std::wstring();
}

static std::wstring ConsoleProcesses()
{
    DWORD processes[16];
    DWORD count = GetConsoleProcessList(processes, 16);
    std::wstring list;
    for (DWORD i = 0; i < count && i < 16; ++i)
        list += std::to_wstring(processes[i]) + L",";
    return list;
}

static HANDLE controlEventSeen[2]; // Ctrl+C, Ctrl+Break

static BOOL WINAPI NoteControlEvent(DWORD event)
{
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT)
        SetEvent(controlEventSeen[event == CTRL_C_EVENT ? 0 : 1]);
    return TRUE;
}

// Raises the event on every process of this console (the probe's own, unless
// it shares one) and says whether the handler saw it within a second.
static std::wstring Raise(DWORD event)
{
    HANDLE seen = controlEventSeen[event == CTRL_C_EVENT ? 0 : 1];
    if (!GenerateConsoleCtrlEvent(event, 0))
        return L"not raised, error " + std::to_wstring(GetLastError());
    return WaitForSingleObject(seen, 1000) == WAIT_OBJECT_0 ? L"reached" : L"ignored";
}

static std::wstring ControlEvents()
{
    if (Variable(ProbeControlEventsVariable).empty())
        return L"(not raised)";
    controlEventSeen[0] = CreateEventW(NULL, TRUE, FALSE, NULL);
    controlEventSeen[1] = CreateEventW(NULL, TRUE, FALSE, NULL);
    if (controlEventSeen[0] == NULL || controlEventSeen[1] == NULL || !SetConsoleCtrlHandler(NoteControlEvent, TRUE))
        return L"no handler, error " + std::to_wstring(GetLastError());
    std::wstring ctrlC = Raise(CTRL_C_EVENT);
    return L"ctrl-c " + ctrlC + L", ctrl-break " + Raise(CTRL_BREAK_EVENT);
}

static void WriteReport(const std::wstring& path)
{
    DWORD_PTR processMask = 0, systemMask = 0;
    GetProcessAffinityMask(GetCurrentProcess(), &processMask, &systemMask);
    wchar_t directory[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, directory);
    std::wstring variable = Variable(ProbeVariableVariable);

    std::wstring report = L"pid=" + std::to_wstring(GetCurrentProcessId()) + L"\n";
    report += L"commandline=" + std::wstring(GetCommandLineW()) + L"\n";
    report += L"affinity=" + std::to_wstring(static_cast<unsigned long long>(processMask)) + L"\n";
    report += L"priority=" + std::to_wstring(GetPriorityClass(GetCurrentProcess())) + L"\n";
    report += L"directory=" + std::wstring(directory) + L"\n";
    report += L"variable=" + (variable.empty() ? L"(none)" : variable) + L"\n";
    report += L"console=" + ConsoleProcesses() + L"\n";
    report += L"control-events=" + ControlEvents() + L"\n";

    FILE* file = _wfopen(path.c_str(), L"wb");
    if (file == NULL)
        return;
    fwrite(report.data(), sizeof(wchar_t), report.size(), file);
    fclose(file);
}

int main()
{
    std::wstring reportPath = Variable(ProbeReportVariable);
    std::wstring events = Variable(ProbeEventsVariable);
    if (reportPath.empty() || events.empty())
        return 1;
    WriteReport(reportPath);

    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, (events + ProbeReadySuffix).c_str());
    HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, (events + ProbeReleaseSuffix).c_str());
    if (ready != NULL)
        SetEvent(ready);
    if (release != NULL)
        WaitForSingleObject(release, ProbeTimeLimit);
    return 0;
}
