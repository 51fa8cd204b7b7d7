#ifndef QUENLARK_COMMAND_TEXT_H
#define QUENLARK_COMMAND_TEXT_H

#include <wchar.h>

// Finds, in the launcher's own raw command line, where the command to start
// begins: past the program name and the given number of option words, at
// `firstWord` as typed or right after the double quote that opens it.
// Returns that position (an opening quote included), or NULL when the word
// does not stand there as the C runtime's argument splitting produced it.
wchar_t* FindCommandText(wchar_t* commandLine, int optionCount, const wchar_t* firstWord);

#endif
