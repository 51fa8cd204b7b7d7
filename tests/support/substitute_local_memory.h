#ifndef QUENLARK_TESTS_SUBSTITUTE_LOCAL_MEMORY_H
#define QUENLARK_TESTS_SUBSTITUTE_LOCAL_MEMORY_H

// LocalAlloc and LocalFree substituted for the code under test
// (substitute_import.h): an allocation fails where a test says so, and every
// block is followed until it is released, so that a test sees what its code
// leaves unreleased and what it releases that it never had.
#include <windows.h>

#include <set>

#include "substitute_import.h"

namespace {

bool allocationFails = false;
std::set<void*> unreleased;
int strayReleases = 0;

HLOCAL WINAPI SubstituteLocalAlloc(UINT flags, SIZE_T size)
{
    if (allocationFails) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    HLOCAL memory = LocalAlloc(flags, size);
    unreleased.insert(memory);
    return memory;
}

HLOCAL WINAPI SubstituteLocalFree(HLOCAL memory)
{
    if (unreleased.erase(memory) == 0)
        ++strayReleases;
    return LocalFree(memory);
}

SUBSTITUTE_IMPORT(LocalAlloc, SubstituteLocalAlloc);
SUBSTITUTE_IMPORT(LocalFree, SubstituteLocalFree);

} // namespace

#endif
