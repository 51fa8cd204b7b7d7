// The built quenlark.exe read as Explorer and the loader read it: its version
// information and its manifest.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const wchar_t ExpectedVersion[] = L"" QUENLARK_EXPECTED_VERSION;

// quenlark.exe, which stands beside this program.
std::wstring Launcher()
{
    wchar_t path[MAX_PATH];
    std::wstring own(path, GetModuleFileNameW(NULL, path, MAX_PATH));
    return own.substr(0, own.find_last_of(L'\\')) + L"\\quenlark.exe";
}

std::wstring VersionValue(const std::vector<char>& versionInfo, const wchar_t* name)
{
    void* value = NULL;
    UINT length = 0;
    std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueW(versionInfo.data(), path.c_str(), &value, &length) || length == 0)
        return L"(missing)";
    return static_cast<const wchar_t*>(value);
}

TEST(VersionResource, NamesTheProgramAndItsVersion)
{
    DWORD size = GetFileVersionInfoSizeW(Launcher().c_str(), NULL);
    ASSERT_NE(size, 0u);
    std::vector<char> versionInfo(size);
    ASSERT_TRUE(GetFileVersionInfoW(Launcher().c_str(), 0, size, versionInfo.data()));

    EXPECT_EQ(VersionValue(versionInfo, L"FileDescription"), L"Creates a process and returns process id.");
    EXPECT_EQ(VersionValue(versionInfo, L"ProductName"), L"quenlark");
    EXPECT_EQ(VersionValue(versionInfo, L"InternalName"), L"quenlark");
    EXPECT_EQ(VersionValue(versionInfo, L"OriginalFilename"), L"quenlark.exe");
    EXPECT_EQ(VersionValue(versionInfo, L"FileVersion"), ExpectedVersion);
    EXPECT_EQ(VersionValue(versionInfo, L"ProductVersion"), ExpectedVersion);
    EXPECT_NE(VersionValue(versionInfo, L"LegalCopyright").find(L"MIT"), std::wstring::npos);

    VS_FIXEDFILEINFO* fixed = NULL;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(versionInfo.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    std::wstring fileVersion = std::to_wstring(HIWORD(fixed->dwFileVersionMS)) + L"." +
                               std::to_wstring(LOWORD(fixed->dwFileVersionMS)) + L"." +
                               std::to_wstring(HIWORD(fixed->dwFileVersionLS)) + L"." +
                               std::to_wstring(LOWORD(fixed->dwFileVersionLS));
    EXPECT_EQ(fileVersion, ExpectedVersion);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
}

TEST(VersionResource, ManifestAsksForNoElevationAndNamesSupportedSystems)
{
    HMODULE program = LoadLibraryExW(Launcher().c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(program, nullptr);
    HRSRC resource = FindResourceA(program, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(resource, nullptr);
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(program, resource)));
    std::string manifest(bytes, SizeofResource(program, resource));
    FreeLibrary(program);

    EXPECT_NE(manifest.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"), std::string::npos);
    const char* supportedSystems[] = {
        "{e2011457-1546-43c5-a5fe-008deee3d3f0}", // Vista
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", // 7
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", // 8
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", // 8.1
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", // 10 and 11
    };
    for (const char* system : supportedSystems)
        EXPECT_NE(manifest.find(system), std::string::npos) << system;
    // Nothing that would change the code page or the DPI behaviour.
    EXPECT_EQ(manifest.find("activeCodePage"), std::string::npos);
    EXPECT_EQ(manifest.find("dpiAware"), std::string::npos);
}

} // namespace
