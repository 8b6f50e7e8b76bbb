// Test helper: the worked example of a backup, one COM class with a string
// and a DWORD value, a sub-key, and a character the file must escape. The
// writer's, the reader's, the restore's and the real registry's tests all
// check this one example.
#pragma once

#include <string>

namespace qm::test {

constexpr const char* kWorkedClass = "{1A2B3C4D-5E6F-7A8B-9C0D-1E2F3A4B5C6D}";

// The class's element as a backup holds it, `depth` spaces in.
inline std::string WorkedClassElement(int depth) {
    const std::string in(static_cast<std::size_t>(depth), ' ');
    return in + "<k name=\"" + kWorkedClass + "\">\r\n" +
           in + " <v name=\"(Default)\" value=\"Sample Object\"/>\r\n" +
           in + " <v name=\"Flags\" value=\"0x0000000a (10)\" type=\"REG_DWORD\"/>\r\n" +
           in + " <k name=\"InprocServer32\">\r\n" +
           in + "  <v name=\"(Default)\" value=\"C:\\Gone\\a&amp;b.dll\"/>\r\n" +
           in + "  <v name=\"ThreadingModel\" value=\"Apartment\"/>\r\n" +
           in + " </k>\r\n" +
           in + "</k>\r\n";
}

// The elements of the class below HKEY_CLASSES_ROOT\CLSID, as they stand
// inside <registry>.
inline std::string WorkedBackupBody() {
    return "  <k name=\"HKEY_CLASSES_ROOT\">\r\n"
           "   <k name=\"CLSID\">\r\n" +
           WorkedClassElement(4) +
           "   </k>\r\n"
           "  </k>\r\n";
}

// The whole backup file of the class.
inline std::string WorkedBackup() {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
           " <registry>\r\n" +
           WorkedBackupBody() + " </registry>\r\n";
}

}  // namespace qm::test
