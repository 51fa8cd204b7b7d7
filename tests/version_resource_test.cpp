// The built quenlark.exe read as Explorer and the loader read it: its version
// information and its manifest.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/run_program.h"

namespace {

std::string Launcher()
{
    return ProgramFolder() + "\\quenlark.exe";
}

std::string VersionValue(const std::vector<char>& versionInfo, const char* name)
{
    void* value = NULL;
    UINT length = 0;
    std::string path = std::string("\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueA(versionInfo.data(), path.c_str(), &value, &length) || length == 0)
        return "(missing)";
    return static_cast<const char*>(value);
}

TEST(VersionResource, NamesTheProgramAndItsVersion)
{
    DWORD size = GetFileVersionInfoSizeA(Launcher().c_str(), NULL);
    ASSERT_NE(size, 0u);
    std::vector<char> versionInfo(size);
    ASSERT_TRUE(GetFileVersionInfoA(Launcher().c_str(), 0, size, versionInfo.data()));

    EXPECT_EQ(VersionValue(versionInfo, "FileDescription"), "Creates a process and returns process id.");
    EXPECT_EQ(VersionValue(versionInfo, "ProductName"), "quenlark");
    EXPECT_EQ(VersionValue(versionInfo, "InternalName"), "quenlark");
    EXPECT_EQ(VersionValue(versionInfo, "OriginalFilename"), "quenlark.exe");
    EXPECT_EQ(VersionValue(versionInfo, "FileVersion"), QUENLARK_EXPECTED_VERSION);
    EXPECT_EQ(VersionValue(versionInfo, "ProductVersion"), QUENLARK_EXPECTED_VERSION);
    EXPECT_NE(VersionValue(versionInfo, "LegalCopyright").find("MIT"), std::string::npos);

    VS_FIXEDFILEINFO* fixed = NULL;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(versionInfo.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    std::string fileVersion = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                              std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                              std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
                              std::to_string(LOWORD(fixed->dwFileVersionLS));
    EXPECT_EQ(fileVersion, QUENLARK_EXPECTED_VERSION);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
}

TEST(VersionResource, ManifestAsksForNoElevationAndNamesSupportedSystems)
{
    HMODULE program = LoadLibraryExA(Launcher().c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
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
