// Files in the backup on the real file system: a file written into the
// backup comes back with its bytes and its read-only attribute, is not
// written over when a file of that name is there again, and a folder that
// is gone fails the restore.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "emulation/system_memory.h"
#include "repair/backup_file_element.h"
#include "tests/restore/round_trip.h"
#include "repair/xml_writer.h"

namespace qm {
namespace {

std::string FullPath(const std::string& name) {
    char buffer[MAX_PATH];
    const DWORD n = ::GetFullPathNameA(name.c_str(), MAX_PATH, buffer, nullptr);
    return std::string(buffer, n);
}

TEST(FileBackupRealFiles, FileComesBackWithItsBytesAndAttributes) {
    MemorySystem sys;
    EngineServices services;
    services.system = &sys;
    services.ignoreFile = "file-backup-ignore.lst";
    CRegistryLib lib(services);
    CRegistryRepair repair(lib);
    RecordingRestoreUi ui;
    repair.SetRestoreUi(&ui);
    IFileSystem& fs = DefaultFileSystem();

    const std::string path = FullPath("Old & 'Program' copy.lnk");
    const std::string gone = FullPath("no such folder") + "\\x.lnk";
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileA(path.c_str());
    // A shell link's header, then anything.
    std::string bytes("\x4c\0\0\0\x01\x14\x02\0\0\0\0\0\xc0\0\0\0\0\0\0\x46", 20);
    for (int i = 0; i < 300; ++i) bytes.push_back(static_cast<char>(i * 7));
    test::WriteFileBytes(path, bytes);
    ASSERT_TRUE(::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));

    const std::string file = "file_backup_real.xml";
    std::remove(file.c_str());
    {
        CXmlWriter writer;
        writer.SetFileName(file);
        CXmlElement("registry").WriteStartTag(writer, 1, true, true);
        ASSERT_TRUE(WriteBackupFileElement(writer, fs, path));
        EXPECT_FALSE(WriteBackupFileElement(writer, fs, gone));  // nothing to read
        CXmlElement::WriteEndTag("registry", writer, -1, true, true);
        writer.Close();
    }
    ASSERT_TRUE(::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL));
    ASSERT_TRUE(::DeleteFileA(path.c_str()));

    CXmlReader reader;
    ASSERT_EQ(repair.LoadAsXml(reader, file), 1) << repair.LastRestore().Describe();
    EXPECT_EQ(repair.LastRestore().files, 1u);
    EXPECT_EQ(test::ReadFileBytes(path), bytes);
    EXPECT_EQ(::GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY,
              static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));

    // There again: left alone.
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    test::WriteFileBytes(path, "mine");
    CXmlReader again;
    EXPECT_EQ(repair.LoadAsXml(again, file), 1);
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{"kept the existing file " + path});
    EXPECT_EQ(test::ReadFileBytes(path), "mine");
    ::DeleteFileA(path.c_str());

    // Into a folder that is gone: fails, with the file named.
    std::string xml = test::ReadFileBytes(file);
    const std::string escaped = GetEscapedXmlString(path);
    xml.replace(xml.find(escaped), escaped.size(), gone);
    test::WriteFileBytes(file, xml);
    ui.ClearMessages();
    CXmlReader third;
    EXPECT_EQ(repair.LoadAsXml(third, file), 0);
    EXPECT_EQ(repair.LastRestore().reason, "couldn't restore file " + gone);
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{"couldn't restore file " + gone});
    std::remove(file.c_str());
}

}  // namespace
}  // namespace qm
