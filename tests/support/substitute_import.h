#ifndef QUENLARK_TESTS_SUBSTITUTE_IMPORT_H
#define QUENLARK_TESTS_SUBSTITUTE_IMPORT_H

// Code compiled against windows.h calls a kernel32 function through its import
// slot. The build copies the code under test with its slots of the substituted
// functions renamed to quenlark_substitute_NAME (cmake/SubstituteImports.cmake),
// and this defines that slot: the code under test calls `substitute`, while the
// test itself, GoogleTest and the runtimes still call the real function.
#define SUBSTITUTE_IMPORT(function, substitute)                                                      \
    extern "C" decltype(&function) substituteSlot_##function asm("quenlark_substitute_" #function); \
    decltype(&function) substituteSlot_##function = substitute

#endif
