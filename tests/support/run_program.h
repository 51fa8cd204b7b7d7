#ifndef QUENLARK_TESTS_RUN_PROGRAM_H
#define QUENLARK_TESTS_RUN_PROGRAM_H

#include <string>

struct ProgramResult {
    std::wstring commandLine; // as handed to CreateProcessW
    unsigned long exitStatus; // all 32 bits, as GetExitCodeProcess gives them
    std::string output;       // standard output, bytes as written
    std::string errors;       // standard error, bytes as written
};

// Runs a command line to its end with pipes for its standard output and error.
// The program inherits every inheritable handle of the caller. The line is
// handed on in UTF-16, so that no character of it is lost on the way. A given
// `applicationName` is the program to run, and the line is then free text.
// Under Wine, a start that Wine itself failed before any of the program's code
// ran is tried once more, saying so (wine_retries.h).
ProgramResult RunProgram(const std::wstring& commandLine, unsigned long creationFlags = 0,
                         const wchar_t* applicationName = NULL);

// What a failed expectation about a run says of it: its command line, exit
// status, standard output and standard error.
std::string DescribeRun(const ProgramResult& result);

// The folder of the running test program, where the built programs stand too.
std::wstring ProgramFolder();

#endif
