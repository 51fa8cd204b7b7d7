#ifndef QUENLARK_CONSOLE_TEXT_H
#define QUENLARK_CONSOLE_TEXT_H

#include <stdio.h>

// Writes `text` (UTF-16, lines ending in CR LF) to `stream` so that the user
// reads every character: to a console as characters, whatever its code page;
// to a file or a pipe as bytes in the output code page of the console this
// process is attached to, or in the OEM code page when it has none, each line
// ending in CR LF once. `text` is changed on the way. False when nothing
// could be written.
bool WriteConsoleText(FILE* stream, wchar_t* text);

#endif
