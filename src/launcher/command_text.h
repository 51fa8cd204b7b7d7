#ifndef QUENLARK_COMMAND_TEXT_H
#define QUENLARK_COMMAND_TEXT_H

#include <wchar.h>

// Finds, in the launcher's own raw command line, where the command to start
// begins: past the words `arguments[0]` (the program name) up to
// `arguments[firstWord - 1]` as the C runtime split them, at
// `arguments[firstWord]` typed plainly or in one pair of double quotes.
// Returns that position (an opening quote included), or NULL when the line
// does not hold those words there, or holds them in two ways that place the
// command apart.
wchar_t* FindCommandText(wchar_t* commandLine, wchar_t** arguments, int firstWord);

#endif
