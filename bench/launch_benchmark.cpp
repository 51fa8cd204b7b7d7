// Launch latency as a caller sees it: from CreateProcess of a launcher until
// the launcher has exited. After each launch the benchmark waits until the
// started program (and all else the launch started) has ended, so rounds do
// not overlap. Contenders take turns round by round, so drift hits all alike.
//
// Usage: launch_benchmark [ROUNDS]
#include <windows.h>

#include <algorithm>
#include <stdio.h>
#include <stdlib.h>
#include <string>
#include <vector>

#include "support/first_thread.h"
#include "support/wine_retries.h"

namespace {

const int WarmUpRounds = 20;
const int MaximumRetries = 20; // in a whole run
int retriedLaunches = 0;

struct Contender {
    std::string name;
    std::string commandLine;
    bool resumeStartedProgram; // the launcher leaves it suspended
    std::vector<double> milliseconds;
    std::vector<double> ratiosToFloor;
};

std::string ProgramFolder()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of('\\'));
}

double Now()
{
    static LARGE_INTEGER frequency;
    if (frequency.QuadPart == 0)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// A process left suspended at creation has one thread.
void ResumeProcess(DWORD processId)
{
    HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, FirstThreadOf(processId));
    if (thread != NULL) {
        ResumeThread(thread);
        CloseHandle(thread);
    }
}

// The benchmark runs in a job that every process it starts inherits; a round is
// over when the benchmark is the job's only process again.
void AwaitOnlyProcessInJob(HANDLE job)
{
    for (int wait = 0; wait < 10000; ++wait) {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
        if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting, sizeof accounting, NULL) ||
            accounting.ActiveProcesses <= 1)
            return;
        Sleep(1);
    }
    fprintf(stderr, "launch_benchmark: processes of a round still running after 10 s\n");
}

double TimeOneLaunch(const Contender& contender, HANDLE job, HANDLE nul)
{
    std::vector<char> commandLine(contender.commandLine.begin(), contender.commandLine.end());
    commandLine.push_back('\0');
    STARTUPINFOA startupInfo = {};
    startupInfo.cb = sizeof startupInfo;
    startupInfo.dwFlags = STARTF_USESTDHANDLES;
    startupInfo.hStdInput = startupInfo.hStdOutput = startupInfo.hStdError = nul;
    PROCESS_INFORMATION processInfo;

    double start = Now();
    while (!CreateProcessA(NULL, commandLine.data(), NULL, NULL, TRUE, 0, NULL, NULL, &startupInfo, &processInfo)) {
        // Wine now and then fails one of many hundreds of starts on its own.
        DWORD error = GetLastError();
        if (!WineFailedToStart(error) || ++retriedLaunches > MaximumRetries) {
            fprintf(stderr, "launch_benchmark: cannot start %s (error %lu)\n", contender.commandLine.c_str(), error);
            exit(1);
        }
        Sleep(100);
        start = Now();
    }
    WaitForSingleObject(processInfo.hProcess, INFINITE);
    double elapsed = Now() - start;

    DWORD startedProcessId = 0;
    GetExitCodeProcess(processInfo.hProcess, &startedProcessId);
    CloseHandle(processInfo.hProcess);
    CloseHandle(processInfo.hThread);
    if (contender.resumeStartedProgram && startedProcessId != 0)
        ResumeProcess(startedProcessId);
    AwaitOnlyProcessInJob(job);
    return elapsed;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void RunRounds(std::vector<Contender>& contenders, int rounds, HANDLE job, HANDLE nul)
{
    for (int round = -WarmUpRounds; round < rounds; ++round) {
        for (Contender& contender : contenders) {
            double milliseconds = TimeOneLaunch(contender, job, nul);
            if (round < 0)
                continue;
            contender.milliseconds.push_back(milliseconds);
            contender.ratiosToFloor.push_back(milliseconds / contenders[0].milliseconds.back());
        }
    }
}

void PrintTable(const char* title, const std::vector<Contender>& contenders)
{
    printf("\n%s\n", title);
    printf("%-28s %10s %10s %10s %16s\n", "contender", "median ms", "min ms", "max ms", "ratio to floor");
    for (const Contender& contender : contenders) {
        const std::vector<double>& times = contender.milliseconds;
        printf("%-28s %10.3f %10.3f %10.3f %16.3f\n", contender.name.c_str(), Median(times),
               *std::min_element(times.begin(), times.end()), *std::max_element(times.begin(), times.end()),
               Median(contender.ratiosToFloor));
    }
}

std::vector<Contender> Contenders(const std::string& program)
{
    std::string folder = "\"" + ProgramFolder() + "\\";
    return {
        {"floor (no C runtime)", folder + "floor_launcher.exe\" " + program, false, {}, {}},
        {"quenlark", folder + "quenlark.exe\" " + program, false, {}, {}},
        {"quenlark /u", folder + "quenlark.exe\" /u " + program, false, {}, {}},
        {"quenlark /s (then resumed)", folder + "quenlark.exe\" /s " + program, true, {}, {}},
        {"cmd /c start \"\" /b", "cmd.exe /c start \"\" /b " + program, false, {}, {}},
    };
}

const char* Platform()
{
    if (!RunningUnderWine())
        return "Windows";
    static std::string wine = "Wine " + std::string(WineVersion());
    return wine.c_str();
}

} // namespace

int main(int argumentCount, char** arguments)
{
    int rounds = argumentCount > 1 ? atoi(arguments[1]) : 200;
    if (rounds < 1) {
        fprintf(stderr, "usage: launch_benchmark [ROUNDS]\n");
        return 2;
    }
    HANDLE job = CreateJobObjectA(NULL, NULL);
    if (job == NULL || !AssignProcessToJobObject(job, GetCurrentProcess())) {
        fprintf(stderr, "launch_benchmark: cannot run in a job (error %lu)\n", GetLastError());
        return 1;
    }
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, NULL, TRUE};
    HANDLE nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                             OPEN_EXISTING, 0, NULL);
    if (nul == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "launch_benchmark: cannot open NUL (error %lu)\n", GetLastError());
        return 1;
    }

    printf("Launch latency: %d rounds after %d warm-up rounds, %d-bit build, %s\n", rounds, WarmUpRounds,
           static_cast<int>(8 * sizeof(void*)), Platform());

    std::vector<Contender> starting = Contenders("\"" + ProgramFolder() + "\\tiny_program.exe\"");
    RunRounds(starting, rounds, job, nul);
    PrintTable("Starting a program that exits at once:", starting);

    // With nothing started, /s has nothing to tell it apart.
    std::vector<Contender> failing = Contenders("\"" + ProgramFolder() + "\\no-such-program.exe\"");
    failing.erase(std::remove_if(failing.begin(), failing.end(),
                                 [](const Contender& contender) { return contender.resumeStartedProgram; }),
                  failing.end());
    RunRounds(failing, rounds, job, nul);
    PrintTable("Failing to start a missing program (the error path):", failing);

    double plain = Median(starting[1].ratiosToFloor), firstProcessor = Median(starting[2].ratiosToFloor);
    printf("\nLaunches retried after the platform failed to start a contender: %d\n", retriedLaunches);
    printf("Goal, quenlark and quenlark /u within 1.10 of the floor: %s (%.3f, %.3f)\n",
           plain <= 1.10 && firstProcessor <= 1.10 ? "met" : "NOT met", plain, firstProcessor);
    return 0;
}
