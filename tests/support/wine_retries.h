#ifndef QUENLARK_TESTS_WINE_RETRIES_H
#define QUENLARK_TESTS_WINE_RETRIES_H

// Everything the tests and their harness make once more because Wine is not
// Windows, and nothing else is retried anywhere. Each retry says so where it
// is made, happens only under Wine, and only where a real failure looks
// otherwise:
//
// 1. harness/wine-run, for a test program: a run ended by SIGSEGV or SIGBUS
//    (status 139, 135), a race in Wine's 32-bit ntdll as a starting thread
//    takes the signal that ends the process. A program's own faults reach Wine
//    as exceptions and end it with an exit status, never by a signal.
// 2. harness/wine-run, for a test program: a failure having printed nothing,
//    Wine having ended the run before the program's code ran. A test program
//    prints a line before any test, so one that ran and failed has printed.
//    tests/wine-run-test checks that a real failure still fails.
// 3. harness/wine-prefix: wineboot --init failing, as Wine fails a start now
//    and then under load. A second failure ends the set-up, naming its log.
// 4. WineFailedToStart, here: CreateProcess's ERROR_INTERNAL_ERROR, given when
//    the new process ended before it told the Wine server it had started:
//    before any of its code ran, so never through the program's fault. Any
//    other error is the program's. The end-to-end cases make the start of
//    quenlark once more; the benchmark, which starts thousands, at most 20
//    times in a run.
// 5. WineFailedToStartConsole, here: AllocConsole failing, as Wine fails now
//    and then to start the console's host process before any of its code
//    runs (its address space taken where Wine needs it). On Windows a failed
//    AllocConsole fails the test.
//
// Not retries, though they answer Wine too: wine-prefix's desktop keeper
// (it keeps Wine's desktop process up, so that no test starts it as its own
// child), and the tests that Wine cannot run, which skip saying why.
#include <windows.h>

#include "wine.h"

static inline bool WineFailedToStart(DWORD createProcessError)
{
    return createProcessError == ERROR_INTERNAL_ERROR && RunningUnderWine();
}

static inline bool WineFailedToStartConsole()
{
    return RunningUnderWine();
}

#endif
