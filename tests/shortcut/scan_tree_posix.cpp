#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "emulation/file_system_posix.h"
#include "emulation/shortcut_resolver_posix.h"
#include "tests/shortcut/scan_tree.h"

namespace qm::test {

namespace {

namespace fs = std::filesystem;

std::string HostRel(const std::string& rel) {
    std::string out = rel;
    for (char& c : out)
        if (c == '\\') c = '/';
    return out;
}

class PosixScanTree : public ScanTree {
public:
    PosixScanTree()
        : folder_((fs::current_path() / "qdrive").string()), fs_(drives_), resolver_(drives_) {
        drives_.Map('Q', folder_);
    }
    ~PosixScanTree() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
        for (const std::string& other : others_) fs::remove_all(other, ignored);
    }

    bool Ready() const override { return true; }

    void Reset() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
        fs::create_directories(folder_);
        MakeDir("Programs");
        MakeDir("Programs\\App");
        MakeFile("Programs\\App\\app.exe", "MZ");
    }

    void MakeDir(const std::string& rel) override { fs::create_directory(Host(rel)); }

    void MakeFile(const std::string& rel, const std::string& content) override {
        std::ofstream(Host(rel), std::ios::binary) << content;
    }

    void MakeShortcut(const std::string& rel, LinkKind kind) override {
        const char* name = kind == LinkKind::Intact   ? "intact.lnk"
                           : kind == LinkKind::Broken ? "broken.lnk"
                                                      : "mycomputer.lnk";
        fs::copy_file(std::string(QM_TEST_DATA_DIR) + "/lnk/" + name, Host(rel),
                      fs::copy_options::overwrite_existing);
    }

    bool MakeDirLink(const std::string& rel, const std::string& targetRel) override {
        return ::symlink(Host(targetRel).c_str(), Host(rel).c_str()) == 0;
    }

    bool MakeLinkOffTheDrive(const std::string& rel, char letter) override {
        const std::string folder = (fs::current_path() / (std::string("offdrive-") + (letter ? letter : '0'))).string();
        std::error_code ignored;
        fs::remove_all(folder, ignored);
        fs::create_directories(folder + "/Sub");
        fs::copy_file(std::string(QM_TEST_DATA_DIR) + "/lnk/broken.lnk", folder + "/Sub/Old.lnk");
        others_.push_back(folder);
        if (letter != 0) drives_.Map(letter, folder);
        return ::symlink(folder.c_str(), Host(rel).c_str()) == 0;
    }

    void SetReadOnly(const std::string& rel) override { ::chmod(Host(rel).c_str(), 0444); }

    bool Exists(const std::string& rel) override {
        struct stat st;
        return ::lstat(Host(rel).c_str(), &st) == 0;
    }

    ShortcutServices Services() override {
        ShortcutServices services;
        services.fileSystem = &fs_;
        services.resolver = &resolver_;
        return services;
    }

private:
    std::string Host(const std::string& rel) const { return folder_ + "/" + HostRel(rel); }

    std::string folder_;
    std::vector<std::string> others_;
    DriveMap drives_;
    PosixFileSystem fs_;
    LnkShortcutResolver resolver_;
};

}  // namespace

std::unique_ptr<ScanTree> MakeScanTree() { return std::make_unique<PosixScanTree>(); }

}  // namespace qm::test
