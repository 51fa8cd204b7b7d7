#ifndef QUENLARK_TESTS_SUBSTITUTE_IMPORT_H
#define QUENLARK_TESTS_SUBSTITUTE_IMPORT_H

// Code compiled against windows.h calls a kernel32 function through its import
// slot, __imp_Name (on x86 __imp__Name@ArgumentBytes). Defining that slot in a
// test program points every such call at a substitute, and the linker then takes
// nothing for that function from the import library.
#ifdef _WIN64
#define QUENLARK_IMPORT_SLOT(function, argumentBytes) "__imp_" #function
#else
#define QUENLARK_IMPORT_SLOT(function, argumentBytes) "__imp__" #function "@" #argumentBytes
#endif

#define SUBSTITUTE_IMPORT(function, argumentBytes, substitute)                                               \
    extern "C" decltype(&function) substituteSlot_##function asm(QUENLARK_IMPORT_SLOT(function, argumentBytes)); \
    decltype(&function) substituteSlot_##function = substitute

#endif
