#ifndef QUENLARK_TESTS_WINE_RETRIES_H
#define QUENLARK_TESTS_WINE_RETRIES_H

// What the tests make once more because Wine is not Windows: the one list, with
// how a real failure is told apart, is in docs/testing.md ("Under Wine").
#include <windows.h>
#include <stdio.h>

#include "wine.h"

static inline bool WineFailedToStart(DWORD createProcessError)
{
    return createProcessError == ERROR_INTERNAL_ERROR && RunningUnderWine();
}

// A console of this program's own, made once more where Wine failed to start
// it. The standard handles stay this program's, not the new console's.
static inline bool OpenOwnConsole()
{
    HANDLE standard[] = {GetStdHandle(STD_INPUT_HANDLE), GetStdHandle(STD_OUTPUT_HANDLE), GetStdHandle(STD_ERROR_HANDLE)};
    FreeConsole(); // Wine may leave a process half attached
    bool allocated = AllocConsole() != 0;
    if (!allocated && RunningUnderWine()) {
        printf("Wine failed to start a console (error %lu); trying once more\n", GetLastError());
        allocated = AllocConsole() != 0;
    }
    SetStdHandle(STD_INPUT_HANDLE, standard[0]);
    SetStdHandle(STD_OUTPUT_HANDLE, standard[1]);
    SetStdHandle(STD_ERROR_HANDLE, standard[2]);
    return allocated;
}

#endif
