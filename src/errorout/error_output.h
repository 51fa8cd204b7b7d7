#ifndef QUENLARK_ERROR_OUTPUT_H
#define QUENLARK_ERROR_OUTPUT_H

#include <stdio.h>

// Reports are wrapped to this many columns, so that they fit an 80-column
// console with room to spare.
const unsigned MessageLineWidth = 78;

// Writes `message` (absent or empty: none) and the system's text for the
// calling thread's last error code to standard error. Call it straight after
// the platform call that failed, before anything else can change that code.
void ReportLastError(const char* message);

// Fills the insert references %1, %2, ... of the message-format string
// `format` with the text arguments that follow, wraps the result to
// MessageLineWidth columns, converts it to the OEM code page, writes it to
// `stream` (a text-mode stream: lines end in a line feed) and flushes the
// stream. Returns 1 when written, 0 when formatting failed; then nothing has
// been written.
int PrintFormattedMessage(FILE* stream, const char* format, ...);

#endif
