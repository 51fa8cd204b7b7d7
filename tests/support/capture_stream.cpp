#include "capture_stream.h"

#include <fcntl.h>
#include <io.h>
#include <stdio.h>

std::string CaptureStandardError(const std::function<void()>& write)
{
    fflush(stderr);
    int original = _dup(2);
    FILE* file = tmpfile();
    _dup2(_fileno(file), 2);
    _setmode(2, _O_TEXT);

    write();

    fflush(stderr);
    _dup2(original, 2);
    _close(original);
    std::string bytes;
    rewind(file);
    for (int c = fgetc(file); c != EOF; c = fgetc(file))
        bytes += static_cast<char>(c);
    fclose(file);
    return bytes;
}
