// The result list's rows: what each column and the details say of a finding
// and of a broken shortcut, the total, and the sort order of column texts.
#include <gtest/gtest.h>

#include "control/result_entries.h"

namespace qm {
namespace {

std::unique_ptr<CRegErrorLog> Finding(const char* tag, const char* kind, const char* key, const char* name,
                                      const char* data, const char* file) {
    auto f = std::make_unique<CRegErrorLog>();
    f->SetCategory(tag);
    f->SetRemoveKind(kind);
    f->SetKeyPath(key);
    f->SetFilePath(file);
    f->SetValue(std::make_unique<CRegValueItem>(name, data, 1));
    return f;
}

TEST(ResultEntries, ColumnsTellWhatGoesToWhichProgramItBelongsAndWhatIsMissing) {
    FindingList findings;
    findings.push_back(Finding("CLSID", "KEY", "HKEY_CLASSES_ROOT\\CLSID\\{1}", "(Default)", "C:\\Gone\\com.dll",
                               "C:\\Gone\\com.dll"));
    findings.back()->SetOwnerName("Gone Class");
    findings.push_back(Finding("font", "VAL", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Fonts", "Gone Sans (TrueType)",
                               "C:\\Gone\\sans.ttf", "C:\\Gone\\sans.ttf"));
    findings.push_back(nullptr);
    const std::vector<ResultEntry> entries =
        MakeResultEntries(findings, {"C:\\Desktop\\a.lnk"}, {"C:\\Gone\\a.exe"});
    ASSERT_EQ(entries.size(), 4u);

    const ResultEntry& key = entries[0];
    EXPECT_EQ(key.Column(kColumnTick), "");
    EXPECT_EQ(key.Column(kColumnType), "CLSID");
    EXPECT_EQ(key.Column(kColumnMissingFile), "C:\\Gone\\com.dll");
    EXPECT_EQ(key.Column(kColumnProgram), "Gone Class");
    EXPECT_EQ(key.Column(kColumnRemoves), "Whole key");
    EXPECT_EQ(key.Column(kColumnEntry), "HKEY_CLASSES_ROOT\\CLSID\\{1}");
    EXPECT_EQ(key.Column(kColumnValue), "") << "the whole key goes: no value is named";

    const ResultEntry& value = entries[1];
    EXPECT_EQ(value.Column(kColumnRemoves), "Value");
    EXPECT_EQ(value.Column(kColumnValue), "Gone Sans (TrueType)");
    EXPECT_EQ(value.Column(kColumnProgram), "Gone Sans (TrueType)") << "a font's name";

    EXPECT_EQ(entries[2].Column(kColumnType), "") << "a null finding keeps its place";

    const ResultEntry& shortcut = entries[3];
    EXPECT_EQ(shortcut.Column(kColumnType), "SHORTCUT");
    EXPECT_EQ(shortcut.Column(kColumnEntry), "C:\\Desktop\\a.lnk");
    EXPECT_EQ(shortcut.Column(kColumnMissingFile), "C:\\Gone\\a.exe");
    EXPECT_EQ(shortcut.Column(kColumnRemoves), "Shortcut file");
    EXPECT_EQ(shortcut.Column(kColumnValue), "");
}

TEST(ResultEntries, DetailsGiveTheWholeKeyValueDataAndMissingFile) {
    FindingList findings;
    findings.push_back(Finding("Uninstall", "VAL", "HKEY_LOCAL_MACHINE\\Software\\Uninstall\\goneapp",
                               "UninstallString", "\"C:\\Gone\\uninst.exe\" /S", "C:\\Gone\\uninst.exe"));
    findings.back()->SetOwnerName("Gone App");
    findings.push_back(Finding("APPPath", "KEY", "HKEY_LOCAL_MACHINE\\App Paths\\gone.exe", "(Default)",
                               "C:\\Gone\\gone.exe", "C:\\Gone\\gone.exe"));
    const auto entries = MakeResultEntries(findings, {"C:\\Desktop\\a.lnk"}, {"C:\\Gone\\a.exe"});
    EXPECT_EQ(entries[0].Details(),
              "Area: Uninstall entry (Uninstall)\r\n"
              "Program: Gone App\r\n"
              "Key: HKEY_LOCAL_MACHINE\\Software\\Uninstall\\goneapp\r\n"
              "Value name: UninstallString\r\n"
              "Data: \"C:\\Gone\\uninst.exe\" /S\r\n"
              "Missing file: C:\\Gone\\uninst.exe\r\n"
              "Repair removes: the value \"UninstallString\" only");
    EXPECT_NE(entries[1].Details().find("Program: gone.exe"), std::string::npos) << entries[1].Details();
    EXPECT_NE(entries[1].Details().find("Repair removes: the whole key"), std::string::npos);
    EXPECT_EQ(entries[2].Details(),
              "Area: Shortcut file (SHORTCUT)\r\n"
              "Shortcut file: C:\\Desktop\\a.lnk\r\n"
              "Missing target: C:\\Gone\\a.exe\r\n"
              "Repair removes: the shortcut file");
}

TEST(ResultEntries, TotalAndSortOrder) {
    EXPECT_EQ(ProblemsFoundText(0), "No problems found");
    EXPECT_EQ(ProblemsFoundText(1), "1 problem found");
    EXPECT_EQ(ProblemsFoundText(16), "16 problems found");
    EXPECT_EQ(ProblemsFoundText(20000), "20000 problems found");

    EXPECT_LT(CompareColumnTexts("apppath", "CLSID"), 0) << "case does not decide first";
    EXPECT_GT(CompareColumnTexts("font", "Font"), 0) << "then the bytes do, so equal texts only tie";
    EXPECT_EQ(CompareColumnTexts("Font", "Font"), 0);
    EXPECT_LT(CompareColumnTexts("C:\\a", "C:\\ab"), 0);
    EXPECT_GT(CompareColumnTexts("\xe9t\xe9", "zz"), 0) << "bytes beyond ASCII after ASCII letters";
}

}  // namespace
}  // namespace qm
