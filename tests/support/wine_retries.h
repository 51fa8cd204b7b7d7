#ifndef QUENLARK_TESTS_WINE_RETRIES_H
#define QUENLARK_TESTS_WINE_RETRIES_H

// Everything the tests and their harness make once more because Wine is not
// Windows, each only under Wine and only where a real failure looks otherwise:
// the list, with how each is told apart, is in docs/testing.md ("Under Wine").
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
