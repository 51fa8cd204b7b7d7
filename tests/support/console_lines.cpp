#include "console_lines.h"

std::vector<std::string> ConsoleLines(const std::string& bytes)
{
    std::vector<std::string> lines(1);
    size_t column = 0;
    for (char c : bytes) {
        if (c == '\n') {
            lines.emplace_back();
            column = 0;
            continue;
        }
        if (c == '\r') {
            column = 0;
            continue;
        }
        std::string& line = lines.back();
        if (column < line.size())
            line[column] = c;
        else
            line += c;
        ++column;
    }
    if (lines.back().empty())
        lines.pop_back();
    return lines;
}

bool EndsEachLineWithOneCrLf(const std::string& bytes)
{
    for (size_t i = 0; i < bytes.size(); ++i) {
        bool carriageReturnAlone = bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n');
        bool lineFeedAlone = bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r');
        if (carriageReturnAlone || lineFeedAlone)
            return false;
    }
    return true;
}
