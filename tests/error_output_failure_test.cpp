// Error output with FormatMessageW, LocalAlloc and LocalFree substituted: every
// failure of a formatting call or an allocation, and every text the platform
// allocates released on each path.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "error_output.h"
#include "support/capture_stream.h"
#include "support/substitute_local_memory.h"

namespace {

int formatCalls = 0;
int failingFormatCall = 0; // 0: none fails

DWORD WINAPI SubstituteFormatMessageW(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPWSTR buffer,
                                      DWORD size, va_list* arguments)
{
    if (++formatCalls == failingFormatCall) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    // Only the error output calls the substitute: this is the real function.
    DWORD length = FormatMessageW(flags, source, messageId, languageId, buffer, size, arguments);
    if (length != 0 && (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0)
        unreleased.insert(*reinterpret_cast<wchar_t**>(buffer));
    return length;
}

SUBSTITUTE_IMPORT(FormatMessageW, SubstituteFormatMessageW);

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
        int failingCall; // 1: the system text, 2: pass one (or the number's form), 3: pass two
        std::string written;
        int calls;
    };
    const Case cases[] = {
        {0, "Error creating process: ", 3},
        {1, "Error creating process: Win32 error 2\r\n", 2},
        {2, "", 2},
        {3, "", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failingCall);
        FailFormatCall(c.failingCall);
        std::string written = CaptureStandardError([] {
            SetLastError(ERROR_FILE_NOT_FOUND);
            ReportLastError(L"Error creating process");
        });
        EXPECT_EQ(c.written.empty() ? written : written.substr(0, c.written.size()), c.written);
        EXPECT_EQ(formatCalls, c.calls) << "nothing is tried after a failure";
        EXPECT_TRUE(unreleased.empty());
        EXPECT_EQ(strayReleases, 0);
    }
}

TEST(ErrorOutputFailures, PrintFormattedMessageWritesNothingWhenAStepFails)
{
    // Either formatting pass, or the buffer for the bytes a file gets.
    for (int failingStep : {1, 2, 3}) {
        SCOPED_TRACE(failingStep);
        FailFormatCall(failingStep < 3 ? failingStep : 0);
        allocationFails = failingStep == 3;
        FILE* file = tmpfile();
        EXPECT_EQ(PrintFormattedMessage(file, L"%1: %2%%n", L"one", L"two"), 0);
        allocationFails = false;
        EXPECT_EQ(ftell(file), 0L);
        fclose(file);
        EXPECT_TRUE(unreleased.empty());
        EXPECT_EQ(strayReleases, 0);
    }
}

} // namespace
