#include "system_text.h"

#include <windows.h>

std::string SystemText(unsigned long errorCode)
{
    char* text = NULL;
    DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                  FORMAT_MESSAGE_MAX_WIDTH_MASK;
    if (FormatMessageA(flags, NULL, errorCode, LANG_USER_DEFAULT, reinterpret_cast<LPSTR>(&text), 0, NULL) == 0)
        return std::string();
    std::string result(text);
    LocalFree(text);
    result.erase(result.find_last_not_of(" \r\n") + 1);
    return result;
}
