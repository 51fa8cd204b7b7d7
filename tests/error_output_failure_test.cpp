// Error output with FormatMessageA, LocalFree and the library loading calls
// substituted: every failure of a formatting call, every text the platform
// allocates released on each path, and where user32 is loaded from.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "error_output.h"
#include "support/capture_stream.h"
#include "support/substitute_import.h"

namespace {

typedef DWORD(WINAPI* FormatMessageAFunction)(DWORD, LPCVOID, DWORD, DWORD, LPSTR, DWORD, va_list*);
typedef HLOCAL(WINAPI* LocalFreeFunction)(HLOCAL);
typedef HMODULE(WINAPI* LoadLibraryExAFunction)(LPCSTR, HANDLE, DWORD);
typedef HMODULE(WINAPI* LoadLibraryAFunction)(LPCSTR);

int formatCalls = 0;
int failingFormatCall = 0; // 0: none fails
std::set<void*> unreleased;
int strayReleases = 0;
DWORD searchFlagRefusal = 0; // 0: LoadLibraryExA takes the system-folder flag
std::vector<std::string> libraryLoads;

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

HMODULE WINAPI SubstituteLoadLibraryExA(LPCSTR name, HANDLE file, DWORD flags)
{
    libraryLoads.push_back("LoadLibraryExA " + std::string(name) + " " + std::to_string(flags));
    if (searchFlagRefusal != 0) {
        SetLastError(searchFlagRefusal);
        return NULL;
    }
    static LoadLibraryExAFunction realLoadLibraryExA = Kernel32<LoadLibraryExAFunction>("LoadLibraryExA");
    return realLoadLibraryExA(name, file, flags);
}

HMODULE WINAPI SubstituteLoadLibraryA(LPCSTR name)
{
    libraryLoads.push_back("LoadLibraryA " + std::string(name));
    static LoadLibraryAFunction realLoadLibraryA = Kernel32<LoadLibraryAFunction>("LoadLibraryA");
    return realLoadLibraryA(name);
}

SUBSTITUTE_IMPORT(FormatMessageA, 28, SubstituteFormatMessageA);
SUBSTITUTE_IMPORT(LocalFree, 4, SubstituteLocalFree);
SUBSTITUTE_IMPORT(LoadLibraryExA, 12, SubstituteLoadLibraryExA);
SUBSTITUTE_IMPORT(LoadLibraryA, 4, SubstituteLoadLibraryA);

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

TEST(ErrorOutputFailures, LoadsUser32FromTheSystemFolderOnly)
{
    char systemFolder[MAX_PATH];
    UINT length = GetSystemDirectoryA(systemFolder, MAX_PATH);
    ASSERT_GT(length, 0u);
    const std::string bySearchFlag = "LoadLibraryExA user32.dll " + std::to_string(LOAD_LIBRARY_SEARCH_SYSTEM32);
    const std::string byFullPath = "LoadLibraryA " + std::string(systemFolder, length) + "\\user32.dll";
    struct Case {
        DWORD searchFlagRefusal;
        std::vector<std::string> loads;
        bool converted;
    };
    const Case cases[] = {
        {0, {bySearchFlag}, true},
        // Systems that predate the flag refuse it as an invalid parameter: then by full path.
        {ERROR_INVALID_PARAMETER, {bySearchFlag, byFullPath}, true},
        // Any other refusal: no other place is tried, and the report is written unconverted.
        {ERROR_MOD_NOT_FOUND, {bySearchFlag}, false},
    };
    // In code page 1252 "\xe9" is e acute, which code page 437 holds as 0x82.
    bool conversionSeen = GetACP() == 1252 && GetOEMCP() == 437;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.searchFlagRefusal);
        FailFormatCall(0);
        searchFlagRefusal = c.searchFlagRefusal;
        libraryLoads.clear();
        std::string written = CaptureStandardError([] {
            SetLastError(ERROR_FILE_NOT_FOUND);
            ReportLastError("Caf\xe9");
        });
        searchFlagRefusal = 0;
        EXPECT_EQ(libraryLoads, c.loads);
        if (conversionSeen)
            EXPECT_EQ(written.substr(0, 6), c.converted ? "Caf\x82: " : "Caf\xe9: ");
        else
            EXPECT_EQ(written.substr(3, 2), ": ");
    }
}

} // namespace
