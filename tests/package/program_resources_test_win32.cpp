// What Explorer and Windows read from the two programs' files: the version
// information (one version number for both) and the manifest each carries.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/handles_win32.h"

namespace {

struct Program {
    const char* path;
    const char* fileName;
};
const Program kPrograms[] = {{QM_APP_EXE, "quillmere.exe"}, {QM_CLI_EXE, "quillmere-cli.exe"}};

std::vector<char> VersionBlock(const char* path) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(path, &ignored);
    std::vector<char> block(size);
    if (size == 0 || !::GetFileVersionInfoA(path, 0, size, block.data())) block.clear();
    return block;
}

std::string StringValue(std::vector<char>& block, const std::string& name) {
    void* data = nullptr;
    UINT length = 0;
    const std::string query = "\\StringFileInfo\\040904B0\\" + name;
    if (!::VerQueryValueA(block.data(), query.c_str(), &data, &length) || length == 0) return "(missing)";
    return std::string(static_cast<const char*>(data));
}

// The program file loaded for its resources only.
qm::LoadedModule OpenDataFile(const char* path) {
    return qm::LoadedModule(::LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
}

// The text of RT_MANIFEST 1, the manifest the loader applies to a process.
std::string Manifest(const char* path) {
    const qm::LoadedModule file = OpenDataFile(path);
    if (file.Get() == nullptr) return {};
    HRSRC found = ::FindResourceA(file.Get(), MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    if (found == nullptr) return {};
    HGLOBAL loaded = ::LoadResource(file.Get(), found);
    const void* bytes = loaded != nullptr ? ::LockResource(loaded) : nullptr;
    if (bytes == nullptr) return {};
    return std::string(static_cast<const char*>(bytes), ::SizeofResource(file.Get(), found));
}

int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST(ProgramVersion, BothProgramsCarryTheProjectVersionInNumbersAndText) {
    unsigned major = 0, minor = 0, patch = 0;
    ASSERT_EQ(std::sscanf(QM_VERSION, "%u.%u.%u", &major, &minor, &patch), 3) << QM_VERSION;
    for (const Program& p : kPrograms) {
        SCOPED_TRACE(p.fileName);
        std::vector<char> block = VersionBlock(p.path);
        ASSERT_FALSE(block.empty()) << "no version information in " << p.path;
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        ASSERT_TRUE(::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
        ASSERT_EQ(fixed->dwSignature, 0xFEEF04BDu);
        EXPECT_EQ(fixed->dwFileVersionMS, (major << 16) | minor);
        EXPECT_EQ(fixed->dwFileVersionLS, patch << 16);
        EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
        EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
        EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
        EXPECT_EQ(StringValue(block, "FileVersion"), QM_VERSION);
        EXPECT_EQ(StringValue(block, "ProductVersion"), QM_VERSION);
        EXPECT_EQ(StringValue(block, "ProductName"), "Quillmere");
        EXPECT_EQ(StringValue(block, "OriginalFilename"), p.fileName);
        EXPECT_EQ(StringValue(block, "CompanyName"), "Quillmere");
        EXPECT_NE(StringValue(block, "FileDescription").find("registry cleaner"), std::string::npos);
    }
    std::vector<char> app = VersionBlock(QM_APP_EXE), cli = VersionBlock(QM_CLI_EXE);
    EXPECT_NE(StringValue(app, "FileDescription"), StringValue(cli, "FileDescription"));
}

TEST(ProgramManifest, TheWindowProgramAsksForItsUsersHighestRightsAndTheCommandLineForNone) {
    const std::string app = Manifest(QM_APP_EXE), cli = Manifest(QM_CLI_EXE);
    ASSERT_FALSE(app.empty()) << "no RT_MANIFEST 1 in " << QM_APP_EXE;
    ASSERT_FALSE(cli.empty()) << "no RT_MANIFEST 1 in " << QM_CLI_EXE;
    EXPECT_EQ(Count(app, "<requestedExecutionLevel"), 1);
    EXPECT_EQ(Count(cli, "<requestedExecutionLevel"), 1);
    // An ordinary user runs the window as himself (and cleans his own
    // entries); an administrator is asked to elevate.
    EXPECT_NE(app.find("level=\"highestAvailable\""), std::string::npos);
    EXPECT_EQ(app.find("requireAdministrator"), std::string::npos);
    EXPECT_NE(cli.find("level=\"asInvoker\""), std::string::npos);
    EXPECT_EQ(cli.find("requireAdministrator"), std::string::npos);
    EXPECT_EQ(cli.find("highestAvailable"), std::string::npos);
}

TEST(ProgramManifest, BothKeepWindowsScalingAndNameTheSystemsTheySupport) {
    for (const Program& p : kPrograms) {
        SCOPED_TRACE(p.fileName);
        const std::string m = Manifest(p.path);
        EXPECT_NE(m.find(">false</dpiAware>"), std::string::npos);
        EXPECT_NE(m.find(">unaware</dpiAwareness>"), std::string::npos);
        EXPECT_EQ(m.find("PerMonitor"), std::string::npos);
        EXPECT_EQ(Count(m, "<supportedOS "), 5);
        // Windows 10 and 11 share one identifier.
        EXPECT_NE(m.find("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"), std::string::npos);
        EXPECT_NE(m.find(">UTF-8</activeCodePage>"), std::string::npos);
        EXPECT_NE(m.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    }
}

}  // namespace
