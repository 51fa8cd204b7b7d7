// Error output with FormatMessageA and LocalFree substituted: every failure of
// a formatting call, and every text the platform allocates released on each path.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "error_output.h"
#include "support/capture_stream.h"
#include "support/substitute_import.h"

namespace {

typedef DWORD(WINAPI* FormatMessageAFunction)(DWORD, LPCVOID, DWORD, DWORD, LPSTR, DWORD, va_list*);
typedef HLOCAL(WINAPI* LocalFreeFunction)(HLOCAL);

int formatCalls = 0;
int failingFormatCall = 0; // 0: none fails
std::set<void*> unreleased;
int strayReleases = 0;

template <typename Function> Function Kernel32(const char* name)
{
    FARPROC address = GetProcAddress(GetModuleHandleA("kernel32.dll"), name);
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

DWORD WINAPI SubstituteFormatMessageA(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPSTR buffer,
                                      DWORD size, va_list* arguments)
{
    if (++formatCalls == failingFormatCall) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    static FormatMessageAFunction realFormatMessageA = Kernel32<FormatMessageAFunction>("FormatMessageA");
    DWORD length = realFormatMessageA(flags, source, messageId, languageId, buffer, size, arguments);
    if (length != 0 && (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0)
        unreleased.insert(*reinterpret_cast<char**>(buffer));
    return length;
}

HLOCAL WINAPI SubstituteLocalFree(HLOCAL memory)
{
    if (unreleased.erase(memory) == 0)
        ++strayReleases;
    static LocalFreeFunction realLocalFree = Kernel32<LocalFreeFunction>("LocalFree");
    return realLocalFree(memory);
}

SUBSTITUTE_IMPORT(FormatMessageA, 28, SubstituteFormatMessageA);
SUBSTITUTE_IMPORT(LocalFree, 4, SubstituteLocalFree);

void FailFormatCall(int call)
{
    formatCalls = 0;
    failingFormatCall = call;
    unreleased.clear();
    strayReleases = 0;
}

TEST(ErrorOutputFailures, ReportsReleaseWhatTheyAskedForOnEveryPath)
{
    struct Case {
        int failingCall; // 1: the system text, 2: pass one, 3: pass two
        std::string written;
    };
    const Case cases[] = {
        {0, "Error creating process: "},
        {1, "Error creating process: Win32 error 2\r\n"},
        {2, ""},
        {3, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failingCall);
        FailFormatCall(c.failingCall);
        std::string written = CaptureStandardError([] {
            SetLastError(ERROR_FILE_NOT_FOUND);
            ReportLastError("Error creating process");
        });
        EXPECT_EQ(c.written.empty() ? written : written.substr(0, c.written.size()), c.written);
        EXPECT_EQ(formatCalls, c.failingCall == 0 ? 3 : c.failingCall) << "nothing is tried after a failure";
        EXPECT_TRUE(unreleased.empty());
        EXPECT_EQ(strayReleases, 0);
    }
}

TEST(ErrorOutputFailures, PrintFormattedMessageWritesNothingWhenAPassFails)
{
    for (int failingCall : {1, 2}) {
        SCOPED_TRACE(failingCall);
        FailFormatCall(failingCall);
        FILE* file = tmpfile();
        EXPECT_EQ(PrintFormattedMessage(file, "%1: %2%%n", "one", "two"), 0);
        EXPECT_EQ(ftell(file), 0L);
        fclose(file);
        EXPECT_TRUE(unreleased.empty());
        EXPECT_EQ(strayReleases, 0);
    }
}

} // namespace
