#include "capture_stream.h"

#include <fcntl.h>
#include <io.h>

static std::string ReadFromStart(FILE* file)
{
    std::string bytes;
    rewind(file);
    for (int c = fgetc(file); c != EOF; c = fgetc(file))
        bytes += static_cast<char>(c);
    return bytes;
}

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
    std::string bytes = ReadFromStart(file);
    fclose(file);
    return bytes;
}

std::string CaptureStream(const std::function<void(FILE*)>& write)
{
    FILE* file = tmpfile();
    write(file);
    std::string bytes = ReadFromStart(file);
    fclose(file);
    return bytes;
}
