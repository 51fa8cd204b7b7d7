#ifndef QUENLARK_TESTS_LAUNCH_CHECKS_H
#define QUENLARK_TESTS_LAUNCH_CHECKS_H

// Running quenlark.exe as a user runs it and judging what came of it, for the
// end-to-end cases (launch_cases.cpp). On kernel32 and msvcrt alone, with
// static buffers: ARM64 has no C++ runtime and no stack probe for 4 KB frames.
#include <windows.h>

// What a launch must come to. Every kind that starts the probe also checks the
// exit status (its id), that no output was written, and that the probe has a
// console of its own, no handle of the launcher's, its directory and its
// environment.
enum OutcomeKind {
    AsOnWindows,             // (under Wine) what Windows gives
    Started,                 // the probe runs with `command` as its command line
    StartedOnFirstProcessor, // ... with its affinity set to the first processor
    LeftSuspended,           // ... once its one thread, left suspended, is resumed
    ResumedByTheReadme,      // ... once the README's PowerShell has resumed it
    StartedAboveNormal,      // ... at the priority class quenlark was started with, above normal
    StartedWithCtrlCIgnored, // ... with Ctrl+C ignored on its console and Ctrl+Break not
    StartedAs32Bit,          // the process quenlark started is a 32-bit one
    ShowsUsage,              // the usage text on standard output, exit status 0
    Reports,                 // "Error creating process: " and the system's text for `error` (0: any)
    ReportsOtherThan,        // ... for an error other than `error`
};
struct Outcome {
    OutcomeKind kind;
    const wchar_t* command;
    DWORD error;
};

// Lines and paths name the folders of the run: <q> is quenlark.exe's path in
// quotes, <bin> the folder it stands in with this program and probe.exe, <run>
// this run's own folder, where SetUpLaunchFolders copies them, and <windir>
// the Windows folder. Setting up makes <bin> the current directory and says
// what failed, if anything.
bool SetUpLaunchFolders();
void RemoveLaunchFolders();
bool RunFolderHasABlank();

// Runs `line` (the program `program` when given, the line then free text) to
// its end with pipes for its output, in a job that ends all it started when
// the case ends, and checks that it came to `expected`, saying what did not.
// Returns whether it did.
bool CheckLaunch(const wchar_t* line, const wchar_t* program, const Outcome& expected);

// Whether a process given the first processor alone gets it here: Wine for
// ARM64 gives a new process every processor, whatever was set.
bool AffinityIsKept();

#endif
