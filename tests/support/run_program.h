#ifndef QUENLARK_TESTS_RUN_PROGRAM_H
#define QUENLARK_TESTS_RUN_PROGRAM_H

#include <string>

struct ProgramResult {
    unsigned long exitStatus; // all 32 bits, as GetExitCodeProcess gives them
    std::string output;       // standard output, bytes as written
    std::string errors;       // standard error, bytes as written
};

// Runs a command line to its end with pipes for its standard output and error.
// The program inherits every inheritable handle of the caller.
ProgramResult RunProgram(const std::string& commandLine, unsigned long creationFlags = 0);

// The folder of the running test program, where the built programs stand too.
std::string ProgramFolder();

#endif
