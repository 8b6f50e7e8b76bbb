#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>

#include "emulation/drive_map.h"
#include "emulation/name_case.h"

namespace qm {
namespace {

class DriveMapTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = std::string(QM_BUILD_DIR) + "/test-work/drive-map";
        std::system(("rm -rf '" + root_ + "'").c_str());
        ::mkdir(root_.c_str(), 0755);
        Make("c");
        Make("c/windows");
        Make("c/windows/System32");
        Make("c/Program Files");
        Touch("c/windows/System32/foo.dll");
        Touch("c/Program Files/App.EXE");
        map_.Map('c', root_ + "/c");
    }
    void Make(const std::string& rel) { ::mkdir((root_ + "/" + rel).c_str(), 0755); }
    void Touch(const std::string& rel) { std::ofstream(root_ + "/" + rel) << "x"; }

    std::string root_;
    DriveMap map_;
};

TEST_F(DriveMapTest, ComponentsResolveWithoutRegardToCase) {
    EXPECT_TRUE(map_.Exists("C:\\WINDOWS\\system32\\FOO.dll"));
    EXPECT_EQ(*map_.ToHostPath("C:\\WINDOWS\\system32\\FOO.dll"), root_ + "/c/windows/System32/foo.dll");
    EXPECT_TRUE(map_.Exists("c:\\program files\\app.exe"));
    EXPECT_TRUE(map_.Exists("C:/Program Files/App.EXE"));
    EXPECT_TRUE(map_.Exists("C:\\Windows\\System32\\"));  // a directory
    EXPECT_TRUE(map_.Exists("C:\\"));
}

TEST_F(DriveMapTest, WindowsNameRulesApply) {
    EXPECT_TRUE(map_.Exists("C:\\Program Files\\App.exe "));   // trailing blank dropped
    EXPECT_TRUE(map_.Exists("C:\\Program Files\\App.exe."));   // trailing dot dropped
    EXPECT_TRUE(map_.Exists("C:\\Windows\\.\\System32\\..\\System32\\foo.dll"));
    EXPECT_TRUE(map_.Exists("C:\\\\Windows\\\\System32\\foo.dll"));
}

TEST_F(DriveMapTest, MissingAndUnmappedPathsDoNotExist) {
    EXPECT_FALSE(map_.Exists("C:\\Windows\\System32\\bar.dll"));
    EXPECT_FALSE(map_.Exists("C:\\Windows\\System32\\foo.dll\\x"));
    EXPECT_FALSE(map_.Exists("D:\\Windows"));
    EXPECT_FALSE(map_.Exists("Windows\\System32\\foo.dll"));
    EXPECT_FALSE(map_.Exists("\\\\server\\share\\foo.dll"));
    EXPECT_FALSE(map_.Exists("C:Windows"));
    EXPECT_FALSE(map_.Exists("C:\\Windows\\System32\\fo?.dll"));
    EXPECT_FALSE(map_.Exists("C:\\Windows\\System32\\*.dll"));
    EXPECT_FALSE(map_.Exists(""));
}

TEST_F(DriveMapTest, HostPathsMapBackToWindowsPaths) {
    EXPECT_EQ(map_.ToWindowsPath(root_ + "/c/windows/System32/foo.dll"), "C:\\windows\\System32\\foo.dll");
    EXPECT_EQ(map_.ToWindowsPath(root_ + "/c"), "C:\\");
    EXPECT_EQ(map_.ToWindowsPath(root_ + "/cc/x"), "");
    EXPECT_EQ(map_.ToWindowsPath("/elsewhere"), "");
}

// Windows matches file names without regard to case in every script, one
// character at a time (no special casing: "ß" is not "SS").
TEST(NameCase, Utf8NamesMatchWithoutRegardToCaseInEveryScript) {
    EXPECT_TRUE(SameUtf8NameIgnoringCase("ПРИЛОЖЕНИЕ", "Приложение"));     // Cyrillic
    EXPECT_TRUE(SameUtf8NameIgnoringCase("ЁЖИК.exe", "ёжик.EXE"));
    EXPECT_TRUE(SameUtf8NameIgnoringCase("ΕΦΑΡΜΟΓΉ", "εφαρμογή"));         // Greek, with a tonos
    EXPECT_TRUE(SameUtf8NameIgnoringCase("ΣΟΦΊΑ", "σοφία"));
    EXPECT_TRUE(SameUtf8NameIgnoringCase("CAFÉ Ÿ ŁÓDŹ", "café ÿ łódź"));  // accented Latin
    EXPECT_FALSE(SameUtf8NameIgnoringCase("Приложение", "Приложения"));
    EXPECT_FALSE(SameUtf8NameIgnoringCase("STRASSE", "straße"));
    EXPECT_FALSE(SameUtf8NameIgnoringCase("café", "cafe"));
    EXPECT_FALSE(SameUtf8NameIgnoringCase("ab", "abc"));
    // Bytes that are not UTF-8 compare as they are.
    EXPECT_TRUE(SameUtf8NameIgnoringCase("x\xE9y", "X\xE9Y"));
    EXPECT_FALSE(SameUtf8NameIgnoringCase("x\xE9y", "x\xC9y"));
}

// The folded form (the key of a folder's listing) is shared by exactly the
// names that match.
TEST(NameCase, FoldedNamesAreEqualExactlyWhenTheNamesMatch) {
    const char* const pairs[][2] = {
        {"ПРИЛОЖЕНИЕ", "Приложение"}, {"ЁЖИК.exe", "ёжик.EXE"}, {"ΣΟΦΊΑ", "σοφία"},
        {"CAFÉ Ÿ ŁÓDŹ", "café ÿ łódź"}, {"Приложение", "Приложения"}, {"STRASSE", "straße"},
        {"café", "cafe"}, {"ab", "abc"}, {"x\xE9y", "X\xE9Y"}, {"x\xE9y", "x\xC9y"},
        {"\xC3\xA9", "\xC3\x89"}, {"\xC3", "\xC3\xA9"}, {"a\xF0\x9F\x98\x80", "A\xF0\x9F\x98\x80"},
        {"ı", "I"}, {"ſ", "S"}, {"", ""},
    };
    for (const auto& pair : pairs)
        EXPECT_EQ(FoldedUtf8Name(pair[0]) == FoldedUtf8Name(pair[1]), SameUtf8NameIgnoringCase(pair[0], pair[1]))
            << pair[0] << " / " << pair[1];
}

TEST_F(DriveMapTest, FoldersInOtherScriptsMatchInAnyLetterCase) {
    Make("c/Program Files/Приложение");
    Touch("c/Program Files/Приложение/app.exe");
    Make("c/Εφαρμογή");
    Touch("c/Εφαρμογή/Café.dll");
    EXPECT_TRUE(map_.Exists("C:\\Program Files\\ПРИЛОЖЕНИЕ\\app.exe"));
    EXPECT_EQ(*map_.ToHostPath("C:\\PROGRAM FILES\\приложение\\APP.EXE"),
              root_ + "/c/Program Files/Приложение/app.exe");
    EXPECT_TRUE(map_.Exists("C:\\ΕΦΑΡΜΟΓΉ\\CAFÉ.DLL"));
    EXPECT_EQ(map_.Look("C:\\ΕΦΑΡΜΟΓΉ\\CAFE.DLL"), DriveMap::Presence::Missing);
}

// Folders unchanged for a while have their listings kept for the run; a
// folder that changes afterwards (an entry made or removed, the folder
// replaced) is read again, so every lookup answers as the disk stands.
TEST_F(DriveMapTest, KeptListingsFollowTheFoldersChanges) {
    Make("c/Program Files/Приложение");
    Touch("c/Program Files/Приложение/app.exe");
    const auto age = [this](const std::string& rel, long seconds) {
        timespec times[2];
        ::clock_gettime(CLOCK_REALTIME, &times[0]);
        times[0].tv_sec -= seconds;
        times[1] = times[0];
        ASSERT_EQ(::utimensat(AT_FDCWD, (root_ + "/" + rel).c_str(), times, 0), 0) << rel;
    };
    for (const char* rel : {"c", "c/windows", "c/windows/System32", "c/Program Files",
                            "c/Program Files/Приложение"})
        age(rel, 3600);
    for (int pass = 0; pass < 2; ++pass) {  // read, then from the kept listings
        EXPECT_TRUE(map_.Exists("C:\\WINDOWS\\system32\\FOO.dll"));
        EXPECT_EQ(*map_.ToHostPath("C:\\PROGRAM FILES\\ПРИЛОЖЕНИЕ\\APP.EXE"),
                  root_ + "/c/Program Files/Приложение/app.exe");
        EXPECT_FALSE(map_.Exists("C:\\Windows\\System32\\bar.dll"));
        EXPECT_EQ(map_.Look("C:\\PROGRA~1\\App.exe"), DriveMap::Presence::Unknown);
        EXPECT_EQ(map_.Look("C:\\Program Files\\Gone~x.exe"), DriveMap::Presence::Missing);
    }
    // Made since, and the folder's time set back as if long ago.
    Touch("c/windows/System32/Bar.DLL");
    age("c/windows/System32", 1800);
    EXPECT_TRUE(map_.Exists("C:\\Windows\\System32\\bar.dll"));
    // Made just now.
    Touch("c/windows/System32/New.dll");
    EXPECT_TRUE(map_.Exists("C:\\WINDOWS\\SYSTEM32\\NEW.DLL"));
    ASSERT_EQ(std::remove((root_ + "/c/windows/System32/foo.dll").c_str()), 0);
    EXPECT_FALSE(map_.Exists("C:\\WINDOWS\\system32\\FOO.dll"));
    EXPECT_EQ(map_.Look("C:\\WINDOWS\\system32\\FOO.dll"), DriveMap::Presence::Missing);
    // A folder put in the place of another, with the same times.
    age("c/Program Files/Приложение", 3600);
    EXPECT_TRUE(map_.Exists("C:\\PROGRAM FILES\\ПРИЛОЖЕНИЕ\\APP.EXE"));
    ASSERT_EQ(std::rename((root_ + "/c/Program Files/Приложение").c_str(), (root_ + "/c/Old").c_str()), 0);
    Make("c/Program Files/Приложение");
    Touch("c/Program Files/Приложение/other.exe");
    age("c/Program Files/Приложение", 3600);
    EXPECT_FALSE(map_.Exists("C:\\PROGRAM FILES\\ПРИЛОЖЕНИЕ\\APP.EXE"));
    EXPECT_TRUE(map_.Exists("C:\\PROGRAM FILES\\ПРИЛОЖЕНИЕ\\OTHER.EXE"));
    // A copy of the map starts without listings and answers the same.
    const DriveMap copy = map_;
    EXPECT_TRUE(copy.Exists("C:\\Windows\\System32\\BAR.dll"));
}

// A name of the form of a short name that matches no long name: this file
// system gives no short names, so whether it is there cannot be told.
TEST_F(DriveMapTest, ShortNamesWithoutShortNamesOnTheVolumeCannotBeTold) {
    EXPECT_EQ(map_.Look("C:\\PROGRA~1\\App.exe"), DriveMap::Presence::Unknown);
    EXPECT_EQ(map_.Look("C:\\Program Files\\APP~1.EXE"), DriveMap::Presence::Unknown);
    EXPECT_FALSE(map_.Exists("C:\\PROGRA~1\\App.exe"));
    EXPECT_EQ(map_.Look("C:\\Program Files\\Gone~x.exe"), DriveMap::Presence::Missing);
    EXPECT_EQ(map_.Look("C:\\Program Files\\App.exe"), DriveMap::Presence::Exists);
    EXPECT_EQ(map_.Look("C:\\Program Files\\Gone\\PROGRA~1"), DriveMap::Presence::Missing);
    Make("c/Tilde~1");  // a long name that has the form matches by its name
    EXPECT_EQ(map_.Look("C:\\TILDE~1"), DriveMap::Presence::Exists);
}

// On a disk mounted with ntfs-3g a short name is resolved from the volume's
// own short names (the attribute "system.ntfs_dos_name"); a short name the
// volume does not have is missing like any other name. A small NTFS image
// made with mkntfs, in the build folder; skipped where mkntfs, ntfs-3g or a
// FUSE mount is not to be had.
TEST(DriveMapNtfs, ShortNamesResolveFromTheVolumesOwnShortNames) {
    const std::string dir = std::string(QM_BUILD_DIR) + "/test-work/drive-map-ntfs";
    const std::string image = dir + "/volume.img", mount = dir + "/mnt";
    std::system(("umount '" + mount + "' 2>/dev/null; rm -rf '" + dir + "'").c_str());
    ::mkdir(dir.c_str(), 0755);
    ::mkdir(mount.c_str(), 0755);
    if (std::system("command -v mkntfs >/dev/null && command -v ntfs-3g >/dev/null") != 0)
        GTEST_SKIP() << "mkntfs and ntfs-3g are not installed (Debian package ntfs-3g)";
    if (std::system(("truncate -s 8M '" + image + "' && mkntfs -F -f -q '" + image + "' >/dev/null 2>&1").c_str()) != 0)
        GTEST_SKIP() << "mkntfs could not make an image";
    if (std::system(("ntfs-3g '" + image + "' '" + mount + "' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "no FUSE mount here (ntfs-3g failed)";
    struct Unmount {
        std::string mount, dir;
        ~Unmount() { std::system(("umount '" + mount + "' 2>/dev/null; rm -rf '" + dir + "'").c_str()); }
    } unmount{mount, dir};

    ASSERT_EQ(::mkdir((mount + "/Program Files").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((mount + "/Program Files/Common Files").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((mount + "/Program Files/Common Files/App").c_str(), 0755), 0);
    std::ofstream(mount + "/Program Files/Common Files/App/lib.dll") << "x";
    // Windows writes a short name beside each long one; ntfs-3g takes them
    // through the attribute.
    ASSERT_EQ(::setxattr((mount + "/Program Files").c_str(), "system.ntfs_dos_name", "PROGRA~1", 8, 0), 0);
    ASSERT_EQ(::setxattr((mount + "/Program Files/Common Files").c_str(), "system.ntfs_dos_name", "COMMON~1", 8, 0),
              0);
    DriveMap map;
    map.Map('C', mount);
    EXPECT_TRUE(map.Exists("C:\\PROGRA~1\\COMMON~1\\App\\lib.dll"));
    EXPECT_TRUE(map.Exists("C:\\progra~1\\Common Files\\APP\\LIB.DLL"));
    using P = DriveMap::Presence;
    EXPECT_EQ(map.Look("C:\\PROGRA~1\\COMMON~1\\AppGone\\lib.dll"), P::Missing);
    EXPECT_EQ(map.Look("C:\\PROGRA~2\\App\\lib.dll"), P::Missing);  // the volume has no such short name
    EXPECT_EQ(map.Look("C:\\PROGRA~1\\COMMON~1\\App\\lib.dll"), P::Exists);
}

// A folder this user may not list (mode 700 of another user) or only search
// (711): what lies inside cannot be told missing; a name written in its
// exact case under a searchable folder is still found. Run as another user
// (nobody) when the test runs as root, which may read everything.
TEST_F(DriveMapTest, FoldersThatMayNotBeReadLeaveTheirContentsUnknown) {
    Make("c/Locked");
    Touch("c/Locked/app.exe");
    Make("c/Searchable");
    Touch("c/Searchable/App.exe");
    const bool root = ::geteuid() == 0;
    ::chmod((root_ + "/c/Locked").c_str(), root ? 0700 : 0);
    ::chmod((root_ + "/c/Searchable").c_str(), root ? 0711 : 0111);
    const auto checks = [this]() {
        int failures = 0;
        const auto expect = [&failures](bool ok, const char* what) {
            if (!ok) {
                std::fprintf(stderr, "failed: %s\n", what);
                ++failures;
            }
        };
        using P = DriveMap::Presence;
        expect(map_.Look("C:\\Locked\\app.exe") == P::Unknown, "Locked\\app.exe unknown");
        expect(map_.Look("C:\\LOCKED\\gone.exe") == P::Unknown, "LOCKED\\gone.exe unknown");
        expect(map_.Look("C:\\Locked") == P::Exists, "Locked exists");
        expect(map_.Look("C:\\Searchable\\App.exe") == P::Exists, "Searchable\\App.exe exists");
        expect(map_.Look("C:\\Searchable\\APP.EXE") == P::Unknown, "Searchable\\APP.EXE unknown");
        expect(map_.Look("C:\\Searchable\\gone.exe") == P::Unknown, "Searchable\\gone.exe unknown");
        expect(map_.Look("C:\\Gone\\app.exe") == P::Missing, "Gone\\app.exe missing");
        // Asked right after the existence test, as a scan asks (its answer kept).
        for (const char* path : {"C:\\Locked\\other.exe", "C:\\Gone\\other.exe"}) {
            expect(!map_.Exists(path), path);
            expect(map_.Look(path) == (path[3] == 'L' ? P::Unknown : P::Missing), path);
        }
        return failures;
    };
    int failures = 0;
    if (root) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(100);
            ::_exit(checks());
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_NE(WEXITSTATUS(status), 100) << "could not become the user nobody";
        failures = WEXITSTATUS(status);
    } else {
        failures = checks();
    }
    ::chmod((root_ + "/c/Locked").c_str(), 0755);
    ::chmod((root_ + "/c/Searchable").c_str(), 0755);
    EXPECT_EQ(failures, 0);
}

}  // namespace
}  // namespace qm
