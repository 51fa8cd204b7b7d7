#ifndef QUENLARK_ERROR_OUTPUT_H
#define QUENLARK_ERROR_OUTPUT_H

#include <stdio.h>

// Reports are wrapped to this many columns, so that they fit an 80-column
// console with room to spare.
const unsigned MessageLineWidth = 78;

// Writes `message` (absent or empty: none) and the system's text for the
// calling thread's last error code to standard error. Call it straight after
// the platform call that failed, before anything else can change that code.
void ReportLastError(const wchar_t* message);

// Fills the insert references %1, %2, ... of the message-format string
// `format` with the texts that follow, wraps the result to MessageLineWidth
// columns and writes it to `stream` as the user's console shows it (see
// WriteConsoleText), then flushes the stream. Returns 1 when written, 0 when
// formatting or writing failed; then nothing has been written.
int PrintFormattedMessage(FILE* stream, const wchar_t* format, ...);

#endif
