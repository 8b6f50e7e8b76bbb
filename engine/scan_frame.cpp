#include "engine/scan_frame.h"

namespace qm {

ScanFrame::ScanFrame(CRegistryLib& lib, ResultRows& rows, Category category, const char* status)
    : lib_(lib),
      rows_(rows),
      info_(InfoFor(category)),
      status_(status),
      stop_(kStopEventName),
      paths_(lib.System()) {}

void ScanFrame::EnterView32() {
    view_ = RegView::k32;
    ++segment_;
    if (!view32_) view32_ = std::make_unique<View32>(lib_.System());
}

bool ScanFrame::Open(const std::string& rootPath) {
    if (!Begin()) return false;
    if (OpenRoot(rootPath)) return true;
    AppendRow();
    return false;
}

bool ScanFrame::Begin() {
    // Once per category the event itself is looked at, so a stop set by
    // another process ends the run at the next category at the latest.
    if (stop_.IsSignalledNow()) return false;
    scanned_ = 0;
    found_ = 0;
    return true;
}

bool ScanFrame::OpenRoot(const std::string& rootPath) {
    if (StopRequested()) return false;
    rootPath_ = rootPath;
    ++segment_;
    std::string rest = rootPath;
    const std::string rootName = CRegistryLib::SeperateMainKey(rest);
    view_ = RegView::k64;
    view32_.reset();
    if (lib_.OpenKey(rootName, rest, root_.Receive(lib_.Registry())) == kRegSuccess) return true;
    root_.Release();  // nothing was opened
    if (lib_.OpenKey(rootName, rest, root_.Receive(lib_.Registry()), RegView::k32) == kRegSuccess) {
        EnterView32();
        return true;
    }
    root_.Release();
    return false;
}

bool ScanFrame::NextView() {
    if (view_ != RegView::k64 || StopRequested()) return false;
    std::string rest = rootPath_;
    const std::string rootName = CRegistryLib::SeperateMainKey(rest);
    IRegistry& reg = lib_.Registry();
    RegKeyHandle other;
    if (lib_.OpenKey(rootName, rest, other.Receive(reg), RegView::k32) != kRegSuccess) {
        other.Release();
        return false;
    }
    if (reg.RegIsSameKey(root_.Get(), other.Get())) return false;
    root_ = std::move(other);
    EnterView32();
    return true;
}

PathState ScanFrame::Test(const CleanedPath& path, bool distinguishIgnored) {
    if (!path.test || HoldsWildcard(path.path)) return PathState::NotTested;
    if (view32_ ? !view32_->system.FileExists(path.path) && !lib_.IsIgnored(path.path)
                : lib_.CheckFile(path.path) != 0)
        return PathState::Missing;
    if (distinguishIgnored && lib_.IsIgnored(path.path) && !System().FileExists(path.path))
        return PathState::Ignored;
    return PathState::Exists;
}

void ScanFrame::Record(const CRegValueItem& value, const std::string& keyPath,
                       const std::string& path, const char* removeKind, ClassesHive hive) {
    auto finding = std::make_unique<CRegErrorLog>();
    finding->SetValue(std::make_unique<CRegValueItem>(value));
    finding->SetKeyPath(keyPath);
    finding->SetFilePath(path);
    finding->SetCategory(info_.tag);
    finding->SetRemoveKind(removeKind ? removeKind : info_.removeKind);
    finding->SetView(view_);
    finding->SetClassesHive(hive);
    lib_.Findings().push_back(std::move(finding));
    ++found_;
}

void ScanFrame::Report(std::string path, std::int32_t scanned, std::int32_t found) const {
    if (ScanProgressCallback cb = lib_.GetProgressCallback()) cb(std::move(path), status_, scanned, found);
}

void ScanFrame::AppendRow() {
    rows_.push_back(std::make_unique<CScanError>(info_.rowLabel, scanned_, found_));
}

}  // namespace qm
