// Started through the launcher by the tests: writes what it was given to the
// file named in QUENLARK_PROBE_REPORT, signals "<QUENLARK_PROBE_EVENTS>-ready",
// then stays until "<QUENLARK_PROBE_EVENTS>-release" is signalled (10 s at most),
// so that the tests can look at it while it runs.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string>

static void WriteConsoleProcesses(FILE* report)
{
    DWORD processes[16];
    DWORD count = GetConsoleProcessList(processes, 16);
    fprintf(report, "console=");
    for (DWORD i = 0; i < count && i < 16; ++i)
        fprintf(report, "%lu,", processes[i]);
    fprintf(report, "\n");
}

static void WriteReport(const char* path)
{
    FILE* report = fopen(path, "wb");
    if (report == NULL)
        return;
    DWORD_PTR processMask = 0, systemMask = 0;
    GetProcessAffinityMask(GetCurrentProcess(), &processMask, &systemMask);
    char directory[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, directory);
    const char* variable = getenv("QUENLARK_PROBE_VARIABLE");

    fprintf(report, "pid=%lu\n", GetCurrentProcessId());
    fprintf(report, "commandline=%s\n", GetCommandLineA());
    fprintf(report, "affinity=%llu\n", static_cast<unsigned long long>(processMask));
    fprintf(report, "priority=%lu\n", GetPriorityClass(GetCurrentProcess()));
    fprintf(report, "directory=%s\n", directory);
    fprintf(report, "variable=%s\n", variable != NULL ? variable : "(none)");
    WriteConsoleProcesses(report);
    fclose(report);
}

int main()
{
    const char* reportPath = getenv("QUENLARK_PROBE_REPORT");
    const char* events = getenv("QUENLARK_PROBE_EVENTS");
    if (reportPath == NULL || events == NULL)
        return 1;
    WriteReport(reportPath);

    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, (std::string(events) + "-ready").c_str());
    HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, (std::string(events) + "-release").c_str());
    if (ready != NULL)
        SetEvent(ready);
    if (release != NULL)
        WaitForSingleObject(release, 10000);
    return 0;
}
