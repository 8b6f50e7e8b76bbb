// A repair test's world: an in-memory registry and file system, an engine on
// them, findings made by hand, and backup files in the test's folder that are
// removed again when the test ends.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/backup_files.h"
#include "engine/registry_lib.h"
#include "emulation/registry_memory.h"
#include "emulation/system_memory.h"
#include "repair/registry_repair.h"
#include "repair/xml_writer.h"

namespace qm::test {

class RepairTest : public ::testing::Test {
protected:
    void SetUp() override { MakeEngine(); }
    void TearDown() override {
        repair_.reset();
        lib_.reset();
        for (const auto& f : files_) std::remove(f.c_str());
    }

    void MakeEngine() {
        services_.registry = &registry_;
        services_.system = &system_;
        services_.ignoreFile = UniqueName("ignore", ".lst");
        lib_ = std::make_unique<CRegistryLib>(services_);
        repair_ = std::make_unique<CRegistryRepair>(*lib_);
    }

    // A file name of this test's own, removed at the end of the test
    // (with the names a counter would give it).
    std::string UniqueName(const std::string& stem, const std::string& ext = ".xml") {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "_" + info->name() + "_" + stem;
        for (char& c : name)
            if (c == '/') c = '_';
        for (int i = 2; i <= 5; ++i) files_.push_back(name + "-" + std::to_string(i) + ext);
        files_.push_back(name + ext);
        std::remove((name + ext).c_str());
        for (int i = 2; i <= 5; ++i) std::remove((name + "-" + std::to_string(i) + ext).c_str());
        return name + ext;
    }

    CRegErrorLog& AddFinding(const std::string& tag, const std::string& keyPath,
                             const std::string& kind, const std::string& valueName = "",
                             const std::string& valueData = "", std::uint32_t type = kRegSz) {
        auto f = std::make_unique<CRegErrorLog>();
        f->SetCategory(tag);
        f->SetKeyPath(keyPath);
        f->SetRemoveKind(kind);
        f->SetFilePath("C:\\Gone\\" + tag + std::to_string(lib_->Findings().size()) + ".dll");
        if (kind == kRemoveValue)
            f->SetValue(std::make_unique<CRegValueItem>(valueName, valueData, type));
        else
            f->SetValue(std::make_unique<CRegValueItem>(kDefaultValueName, kValueNotSet, kRegSz));
        lib_->Findings().push_back(std::move(f));
        return *lib_->Findings().back();
    }

    static ResultRows RowsFor(const std::vector<const char*>& labels) {
        ResultRows rows;
        for (const char* l : labels) rows.push_back(std::make_unique<CScanError>(l, 10, 1));
        return rows;
    }
    static std::int32_t FixedOf(const ResultRows& rows, const std::string& label) {
        for (const auto& r : rows)
            if (r->label == label) return r->errorsFixed;
        return -1000;
    }

    // Runs one backup call inside a "registry" element and returns the file.
    std::string BackupOf(const std::string& keyPath, const CRegValueItem* value = nullptr,
                         int* result = nullptr) {
        const std::string file = UniqueName("backup");
        CXmlWriter writer;
        writer.SetFileName(file);
        CXmlElement("registry").WriteStartTag(writer, 1, true, true);
        const int r = repair_->SaveAsXml(writer, keyPath, value);
        if (result) *result = r;
        CXmlElement::WriteEndTag("registry", writer, -1, true, true);
        EXPECT_EQ(writer.IndentLevel(), 0);
        writer.Close();
        return ReadFileBytes(file);
    }

    static std::vector<std::uint8_t> Bytes(std::initializer_list<int> b) {
        std::vector<std::uint8_t> v;
        for (int x : b) v.push_back(static_cast<std::uint8_t>(x));
        return v;
    }

    MemoryRegistry registry_;
    MemorySystem system_;
    EngineServices services_;
    std::unique_ptr<CRegistryLib> lib_;
    std::unique_ptr<CRegistryRepair> repair_;  // on *lib_
    std::vector<std::string> files_;
};

// The lines of a file, each without its CR LF; a line not ended by CR LF is
// returned with "<no CRLF>" appended.
inline std::vector<std::string> Lines(const std::string& bytes) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const auto end = bytes.find("\r\n", start);
        if (end == std::string::npos) {
            out.push_back(bytes.substr(start) + "<no CRLF>");
            break;
        }
        out.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    return out;
}

}  // namespace qm::test
