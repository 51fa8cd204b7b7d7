#ifndef QUENLARK_TESTS_SYSTEM_TEXT_H
#define QUENLARK_TESTS_SYSTEM_TEXT_H

#include <string>

// The system's own text for an error code, on one line, without trailing
// blanks; empty when the system has none.
std::string SystemText(unsigned long errorCode);

#endif
