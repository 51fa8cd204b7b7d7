#ifndef QUENLARK_TESTS_CONSOLE_LINES_H
#define QUENLARK_TESTS_CONSOLE_LINES_H

#include <string>
#include <vector>

// The lines a console shows for these bytes: a carriage return moves back to
// the start of the line, a line feed starts the next one.
std::vector<std::string> ConsoleLines(const std::string& bytes);

#endif
