// MinGW-w64's headers reach the C runtime's streams (stderr) through
// __acrt_iob_func, which msvcrt.dll does not export: MinGW's own import
// library adds it. Where the import library is made from the program's own
// list (ARM64), it comes from here, by way of msvcrt's __iob_func.
#include <stdio.h>

static FILE* __cdecl StreamByIndex(unsigned index)
{
    return &__iob_func()[index];
}

// The import slot that code compiled against the headers calls through.
extern "C" {
FILE*(__cdecl* __imp___acrt_iob_func)(unsigned) = StreamByIndex;
}
