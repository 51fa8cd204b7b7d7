#ifndef QUENLARK_TESTS_CONSOLE_LINES_H
#define QUENLARK_TESTS_CONSOLE_LINES_H

#include <string>
#include <vector>

// The lines a console shows for these bytes: a carriage return moves back to
// the start of the line, a line feed starts the next one.
std::vector<std::string> ConsoleLines(const std::string& bytes);

// Whether every line of these bytes ends in one CR LF, as a file or a pipe
// should get them: no carriage return or line feed stands without the other.
bool EndsEachLineWithOneCrLf(const std::string& bytes);

#endif
