#include "emulation/hive_file_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <hivex.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>

#include "platform/codepage.h"
#include "platform/directory_stream_posix.h"
#include "platform/file_descriptor_posix.h"
#include "platform/key_path.h"
#include "emulation/name_case.h"
#include "platform/unique_handle.h"
#include "platform/whole_file.h"

namespace qm {

static_assert(sizeof(hive_type) == sizeof(std::uint32_t), "hive_type carries the raw type code");

namespace {

constexpr std::size_t kHeaderSize = 4096;
constexpr std::size_t kLogEntriesStart = 512;
constexpr std::uint64_t kHiveSizeLimit = 4ull << 30;

bool IsTextType(std::uint32_t type) {
    return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    if (at + 4 > b.size()) return 0;
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}

// Up to `size` bytes from the start of a file.
std::vector<std::uint8_t> ReadHead(const std::string& path, std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

std::string BaseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Files in `folder` whose name is `name` without regard to (ASCII) case.
std::vector<std::string> FilesNamed(const std::string& folder, const std::string& name) {
    std::vector<std::string> found;
    const DirectoryStream dir(::opendir(folder.c_str()));
    if (!dir) return found;
    while (dirent* e = ::readdir(dir.Get()))
        if (FoldedName(e->d_name) == FoldedName(name)) found.push_back(folder + "/" + e->d_name);
    return found;
}

// Whether a transaction log holds changes the hive with secondary sequence
// number `hiveSequence` has not received: a log of the newer format ("HvLE"
// entries after its 512-byte header) does when an entry carries that sequence
// number or a later one; an older log ("DIRT") when its header is newer than
// the hive's.
bool LogHasNewerData(const std::string& log, std::uint32_t hiveSequence) {
    struct stat st {};
    if (::stat(log.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<std::uint64_t>(st.st_size) < kLogEntriesStart + 4)
        return false;
    std::vector<std::uint8_t> bytes;
    std::string error;
    if (ReadWholeFile(log, kHiveSizeLimit, bytes, error) != ReadStatus::Read) return false;
    if (std::memcmp(bytes.data(), "regf", 4) != 0) return false;
    std::size_t at = kLogEntriesStart;
    if (std::memcmp(bytes.data() + at, "HvLE", 4) == 0) {
        while (at + 16 <= bytes.size() && std::memcmp(bytes.data() + at, "HvLE", 4) == 0) {
            const std::uint32_t size = Le32(bytes, at + 4);
            if (Le32(bytes, at + 12) >= hiveSequence) return true;
            if (size < 16 || size % 512 != 0) break;
            at += size;
        }
        return false;
    }
    if (std::memcmp(bytes.data() + at, "DIRT", 4) == 0) return Le32(bytes, 8) > hiveSequence;
    return false;
}

// Text data as the registry's 8-bit calls return it.
std::vector<std::uint8_t> Utf16ToAnsiBytes(const char* data, std::size_t len) {
    return Utf16LeBytesToAnsi(reinterpret_cast<const std::uint8_t*>(data), len);
}

// A malloc'ed result of hivex, freed when it goes out of scope.
template <typename T>
struct MallocTraits {
    using Handle = T*;
    static Handle Invalid() { return nullptr; }
    static bool Valid(Handle p) { return p != nullptr; }
    static bool Close(Handle p) {
        std::free(p);
        return true;
    }
};
template <typename T>
using Freed = UniqueHandle<MallocTraits<T>>;

// An open hive, closed with hivex_close.
struct HiveTraits {
    using Handle = hive_h*;
    static Handle Invalid() { return nullptr; }
    static bool Valid(Handle h) { return h != nullptr; }
    static bool Close(Handle h) { return hivex_close(h) == 0; }
};
using HiveHandle = UniqueHandle<HiveTraits>;

std::string Describe(const std::string& path, const std::string& what) {
    return "\"" + path + "\": " + what + ": " + std::strerror(errno);
}

// One value as the hive holds it, with what the registry shows of it.
struct HiveValue {
    bool readable = false;  // its name converts and its data reads
    std::string name;
    std::u16string folded;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> raw;   // the hive's bytes
    std::vector<std::uint8_t> shown;  // what the registry holds for it
};

}  // namespace

std::size_t HiveStoredSize(std::uint32_t type, const std::vector<std::uint8_t>& data) {
    if (!IsTextType(type)) return data.size();
    return AnsiToUtf16(std::string(data.begin(), data.end())).size() * 2;
}

HiveCleanliness CheckHiveCleanliness(const std::string& path) {
    HiveCleanliness result;
    const std::vector<std::uint8_t> head = ReadHead(path, kHeaderSize);
    if (head.size() < 512 || std::memcmp(head.data(), "regf", 4) != 0) {
        result.clean = false;
        result.reason = "it is not a registry hive";
        return result;
    }
    const std::uint32_t primary = Le32(head, 4), secondary = Le32(head, 8);
    if (primary != secondary) {
        result.clean = false;
        result.reason = "its two sequence numbers differ (" + std::to_string(primary) + " and " +
                        std::to_string(secondary) +
                        "): Windows did not finish writing it (an unclean shut-down or Fast Startup)";
        return result;
    }
    const std::string folder = FolderOf(path), base = BaseName(path);
    for (const char* suffix : {".LOG1", ".LOG2", ".LOG"})
        for (const std::string& log : FilesNamed(folder, base + suffix))
            if (LogHasNewerData(log, secondary)) {
                result.clean = false;
                result.reason = "\"" + log +
                                "\" holds changes Windows has not yet written into it (an unclean "
                                "shut-down or Fast Startup)";
                return result;
            }
    return result;
}

namespace {

// "PID.tmp", PID one or more decimal digits.
bool IsPidTmp(const std::string& rest) {
    const std::string suffix = ".tmp";
    if (rest.size() <= suffix.size() || rest.compare(rest.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    for (std::size_t i = 0; i < rest.size() - suffix.size(); ++i)
        if (rest[i] < '0' || rest[i] > '9') return false;
    return true;
}

}  // namespace

std::vector<std::string> CommitLeftovers(const std::string& path) {
    std::vector<std::string> found;
    const std::string folder = FolderOf(path), base = BaseName(path);
    const DirectoryStream dir(::opendir(folder.c_str()));
    if (!dir) return found;
    while (dirent* e = ::readdir(dir.Get())) {
        const std::string name = e->d_name;
        if (name.size() <= base.size() + 1 || name.compare(0, base.size() + 1, base + ".") != 0) continue;
        std::string rest = name.substr(base.size() + 1);
        if (rest.compare(0, 5, "orig.") == 0 && IsPidTmp(rest.substr(5))) rest = rest.substr(5);
        if (!IsPidTmp(rest)) continue;
        const std::string file = folder + "/" + name;
        struct stat st {};
        if (::lstat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode)) found.push_back(file);
    }
    std::sort(found.begin(), found.end());
    return found;
}

struct HiveFile::Impl {
    HiveHandle hive;
    bool writable = false;
    std::set<std::u16string> skip;  // folded paths below the root

    hive_h* h() const { return hive.Get(); }

    std::vector<hive_node_h> Children(hive_node_h node, const std::string& full = "") {
        errno = 0;
        Freed<hive_node_h> list(hivex_node_children(h(), node));
        if (!list)
            throw HiveError("cannot read the sub-keys of \"" + full + "\": " + std::string(std::strerror(errno)));
        std::vector<hive_node_h> out;
        for (hive_node_h* p = list.Get(); *p; ++p) out.push_back(*p);
        return out;
    }

    // The node's name; false when it cannot be read as text.
    bool Name(hive_node_h node, std::string* name) {
        Freed<char> n(hivex_node_name(h(), node));
        if (!n) return false;
        *name = n.Get();
        return true;
    }

    std::vector<HiveValue> Values(hive_node_h node, const std::string& full = "") {
        errno = 0;
        Freed<hive_value_h> list(hivex_node_values(h(), node));
        if (!list)
            throw HiveError("cannot read the values of \"" + full + "\": " + std::string(std::strerror(errno)));
        std::vector<HiveValue> out;
        for (hive_value_h* p = list.Get(); *p; ++p) {
            HiveValue v;
            // Hives hold type codes beyond hive_type's enumerators: read the raw number.
            std::uint32_t t = 0;
            std::size_t len = 0;
            Freed<char> data(hivex_value_value(h(), *p, reinterpret_cast<hive_type*>(&t), &len));
            Freed<char> key(hivex_value_key(h(), *p));
            v.type = t;
            if (data) v.raw.assign(data.Get(), data.Get() + len);
            if (data && key) {
                v.readable = true;
                v.name = key.Get();
                v.folded = FoldedName(v.name);
                v.shown = IsTextType(t) ? Utf16ToAnsiBytes(data.Get(), len) : v.raw;
            }
            out.push_back(std::move(v));
        }
        return out;
    }

    // Fills `key` (open in `reg`, at `full`) from `node` and its tree, each
    // sub-key made below its parent's handle and each value set on its
    // key's, reading each value once.
    void Load(MemoryRegistry& reg, hive_node_h node, RegKey key, const std::string& full, const std::u16string& rel) {
        // A key holding what cannot be shown (a value hivex cannot read, a
        // name that is not text) must not change: its rewrite would lose it.
        // Nor may one holding a value in big-data form: hivex would rewrite
        // that value as one cell, and what a deletion took could not be
        // written back.
        bool locked = false;
        errno = 0;
        Freed<hive_value_h> values(hivex_node_values(h(), node));
        if (!values)
            throw HiveError("cannot read the values of \"" + full + "\": " + std::string(std::strerror(errno)));
        for (hive_value_h* p = values.Get(); *p; ++p) {
            // Hives hold type codes beyond hive_type's enumerators: read the raw number.
            std::uint32_t t = 0;
            std::size_t len = 0;
            Freed<char> data(hivex_value_value(h(), *p, reinterpret_cast<hive_type*>(&t), &len));
            Freed<char> name(hivex_value_key(h(), *p));
            if (data && name)
                reg.SetValue(key, name.Get(), t,
                             IsTextType(t) ? Utf16ToAnsiBytes(data.Get(), len)
                                           : std::vector<std::uint8_t>(data.Get(), data.Get() + len));
            if (!data || !name || len > kHiveBigDataLimit) locked = true;
        }
        for (hive_node_h child : Children(node, full)) {
            std::string name;
            if (!Name(child, &name)) {
                locked = true;
                continue;
            }
            std::u16string childRel;
            if (!skip.empty()) {
                childRel = rel.empty() ? FoldedName(name) : rel + u"\\" + FoldedName(name);
                if (skip.count(childRel)) continue;
            }
            RegKeyHandle sub;
            const std::string subFull = full + "\\" + name;
            if (reg.CreateKeyPath(key, name, sub.Receive(reg)) != kRegSuccess)
                throw HiveError("cannot load the key \"" + subFull + "\"");
            Load(reg, child, sub.Get(), subFull, childRel);
        }
        if (locked) reg.SetDenyDelete(full);
    }

    // Makes `node` hold the values and sub-keys `reg` holds at `full`.
    std::size_t Apply(const MemoryRegistry& reg, hive_node_h node, const std::string& full,
                      const std::u16string& rel) {
        std::size_t changed = ApplyValues(reg, node, full) ? 1 : 0;

        std::vector<std::string> wanted = reg.SubKeyNames(full);
        std::map<std::u16string, std::string> wantedByFold;
        for (const std::string& n : wanted) wantedByFold.emplace(FoldedName(n), n);
        std::set<std::u16string> present;
        bool removedOrAdded = false;
        for (hive_node_h child : Children(node, full)) {
            std::string name;
            if (!Name(child, &name)) continue;  // not shown, never touched
            const std::u16string fold = FoldedName(name);
            const std::u16string childRel = rel.empty() ? fold : rel + u"\\" + fold;
            if (skip.count(childRel)) {
                present.insert(fold);
                continue;
            }
            if (!wantedByFold.count(fold)) {
                if (hivex_node_delete_child(h(), child) != 0)
                    throw HiveError("cannot delete the key \"" + full + "\\" + name +
                                    "\": " + std::strerror(errno));
                removedOrAdded = true;
                continue;
            }
            present.insert(fold);
            changed += Apply(reg, child, full + "\\" + name, childRel);
        }
        for (const auto& [fold, name] : wantedByFold) {
            if (present.count(fold)) continue;
            // A key that only leads to where another hive is mounted is not this hive's.
            const std::u16string addRel = rel.empty() ? fold : rel + u"\\" + fold;
            if (skip.count(addRel) || !HasOwnContent(reg, full + "\\" + name, addRel)) continue;
            const hive_node_h child = hivex_node_add_child(h(), node, name.c_str());
            if (child == 0)
                throw HiveError("cannot add the key \"" + full + "\\" + name + "\": " + std::strerror(errno));
            CheckOrder(node, full + "\\" + name);
            removedOrAdded = true;
            const std::u16string childRel = rel.empty() ? fold : rel + u"\\" + fold;
            changed += Apply(reg, child, full + "\\" + name, childRel);
        }
        if (removedOrAdded) ++changed;
        return changed;
    }

    // Windows finds a key by its place among its siblings, sorted by their
    // upper-cased UTF-16 names; hivex sorts names beyond ASCII otherwise.
    void CheckOrder(hive_node_h parent, const std::string& added) {
        std::u16string previous;
        bool first = true;
        for (hive_node_h child : Children(parent)) {
            std::string name;
            if (!Name(child, &name)) continue;
            const std::u16string folded = FoldedName(name);
            if (!first && folded < previous)
                throw HiveError("cannot add the key \"" + added +
                                "\": it would stand out of the order Windows looks keys up in");
            previous = folded;
            first = false;
        }
    }

    // Whether the key at `full` holds anything of this hive: always, unless it
    // leads to a skipped sub-tree, when it needs values or other sub-keys.
    bool HasOwnContent(const MemoryRegistry& reg, const std::string& full, const std::u16string& rel) {
        bool leadsToSkip = false;
        for (const std::u16string& s : skip)
            if (s.size() > rel.size() && s.compare(0, rel.size(), rel) == 0 && s[rel.size()] == u'\\')
                leadsToSkip = true;
        if (!leadsToSkip) return true;
        if (!reg.ValueNames(full).empty()) return true;
        for (const std::string& child : reg.SubKeyNames(full)) {
            const std::u16string childRel = rel + u"\\" + FoldedName(child);
            if (!skip.count(childRel) && HasOwnContent(reg, full + "\\" + child, childRel)) return true;
        }
        return false;
    }

    // Rewrites the node's values when they differ from the registry's;
    // returns whether it did.
    bool ApplyValues(const MemoryRegistry& reg, hive_node_h node, const std::string& full) {
        const std::vector<HiveValue> have = Values(node, full);
        const std::vector<std::string> names = reg.ValueNames(full);
        struct Wanted {
            std::string name;
            std::uint32_t type = 0;
            std::vector<std::uint8_t> bytes;
            bool matched = false;
        };
        std::vector<Wanted> wanted;
        std::map<std::u16string, std::size_t> wantedByFold;
        for (const std::string& n : names) {
            Wanted w;
            w.name = n;
            if (!reg.GetValue(full, n, &w.type, &w.bytes)) continue;
            wantedByFold.emplace(FoldedName(n), wanted.size());
            wanted.push_back(std::move(w));
        }

        struct Out {
            std::string name;
            std::uint32_t type;
            std::vector<std::uint8_t> bytes;
        };
        std::vector<Out> result;
        bool differs = false;
        for (const HiveValue& v : have) {
            if (!v.readable) {  // not shown: kept as it is
                result.push_back(Out{v.name, v.type, v.raw});
                continue;
            }
            auto it = wantedByFold.find(v.folded);
            if (it == wantedByFold.end()) {
                differs = true;
                continue;
            }
            Wanted& w = wanted[it->second];
            w.matched = true;
            if (w.type == v.type && w.bytes == v.shown) {
                result.push_back(Out{v.name, v.type, v.raw});
            } else {
                differs = true;
                result.push_back(Out{v.name, w.type,
                                     IsTextType(w.type) ? AnsiToUtf16LeBytes(w.bytes) : w.bytes});
            }
        }
        for (const Wanted& w : wanted) {
            if (w.matched) continue;
            differs = true;
            result.push_back(Out{w.name, w.type,
                                 IsTextType(w.type) ? AnsiToUtf16LeBytes(w.bytes) : w.bytes});
        }
        if (!differs) return false;
        for (const HiveValue& v : have)
            if (!v.readable)
                throw HiveError("the key \"" + full + "\" holds a value that cannot be read, so it cannot be "
                                "rewritten; it was left as it was");

        for (const Out& o : result)
            if (o.bytes.size() > kHiveBigDataLimit)
                throw HiveError("the key \"" + full + "\" holds a value larger than " +
                                std::to_string(kHiveBigDataLimit) +
                                " bytes, which cannot be rewritten safely; it was left as it was");
        std::vector<hive_set_value> set(result.size());
        for (std::size_t i = 0; i < result.size(); ++i) {
            set[i].key = const_cast<char*>(result[i].name.c_str());
            std::memcpy(&set[i].t, &result[i].type, sizeof result[i].type);
            set[i].len = result[i].bytes.size();
            set[i].value = reinterpret_cast<char*>(result[i].bytes.data());
        }
        if (hivex_node_set_values(h(), node, set.size(), set.data(), 0) != 0)
            throw HiveError("cannot write the values of \"" + full + "\": " + std::strerror(errno));
        return true;
    }
};

HiveFile::HiveFile(const std::string& path, bool writable) : path_(path), impl_(std::make_unique<Impl>()) {
    errno = 0;
    impl_->writable = writable;
    impl_->hive.Reset(hivex_open(path.c_str(), writable ? HIVEX_OPEN_WRITE : 0));
    if (!impl_->hive) throw HiveError(Describe(path, "cannot open the registry hive"));
}

HiveFile::~HiveFile() = default;

namespace {

std::set<std::u16string> FoldedPaths(const std::vector<std::string>& paths) {
    std::set<std::u16string> out;
    for (const std::string& p : paths) out.insert(FoldedName(p));
    return out;
}

}  // namespace

void HiveFile::LoadInto(MemoryRegistry& registry, const std::string& mountPath,
                        const std::vector<std::string>& skip) {
    impl_->skip = FoldedPaths(skip);
    try {
        std::string below;
        const std::string root = KeyPathRoot(mountPath, &below);
        RegKeyHandle top;
        if (registry.CreateKeyPath(RootKeyFromName(root), below, top.Receive(registry)) != kRegSuccess)
            throw HiveError("cannot load it below \"" + mountPath + "\"");
        impl_->Load(registry, hivex_root(impl_->h()), top.Get(), mountPath, u"");
    } catch (const HiveError& e) {
        throw HiveError("\"" + path_ + "\": " + e.what());
    }
}

std::size_t HiveFile::ApplyChanges(const MemoryRegistry& registry, const std::string& mountPath,
                                   const std::vector<std::string>& skip) {
    if (!impl_->writable) throw HiveError("\"" + path_ + "\" was opened for reading only");
    impl_->skip = FoldedPaths(skip);
    try {
        return impl_->Apply(registry, hivex_root(impl_->h()), mountPath, u"");
    } catch (const HiveError& e) {
        throw HiveError("\"" + path_ + "\": " + e.what());
    }
}

namespace {

// Whether the file at `path` opens as a hive.
bool IsWholeHive(const std::string& path) {
    return HiveHandle(hivex_open(path.c_str(), 0)).Valid();
}

// Flushes a written file (and then its folder's entries) to the disk.
bool FlushFile(const std::string& path) {
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    return fd && ::fsync(fd.Get()) == 0;
}

void FlushFolder(const std::string& folder) {
    const FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd) ::fsync(fd.Get());
}

}  // namespace

void HiveFile::Commit() {
    if (!impl_->writable) throw HiveError("\"" + path_ + "\" was opened for reading only");
    const std::string original = path_ + ".orig";
    struct stat st {};
    const bool haveOriginal = ::stat(original.c_str(), &st) == 0;
    if (!haveOriginal || !IsWholeHive(original)) {
        std::vector<std::uint8_t> bytes;
        std::string error;
        if (ReadWholeFile(path_, kHiveSizeLimit, bytes, error) != ReadStatus::Read ||
            !ReplaceFileAtomically(original, bytes.data(), bytes.size(), error))
            throw HiveError("cannot keep a copy of the hive as \"" + original + "\": " + error +
                            "; \"" + path_ + "\" was not changed");
        if (haveOriginal)
            std::fprintf(stderr,
                         "quillmere-cli: \"%s\" was not a whole hive; it now holds \"%s\" as it was "
                         "before this change\n",
                         original.c_str(), path_.c_str());
    }
    const std::string temp = AtomicTempName(path_);
    errno = 0;
    if (hivex_commit(impl_->h(), temp.c_str(), 0) != 0) {
        const std::string why = std::strerror(errno ? errno : EIO);
        struct stat t {};
        if (::lstat(temp.c_str(), &t) == 0 && S_ISREG(t.st_mode)) ::unlink(temp.c_str());
        throw HiveError("cannot write \"" + temp + "\": " + why + "; \"" + path_ + "\" was not changed");
    }
    if (!FlushFile(temp) || ::rename(temp.c_str(), path_.c_str()) != 0) {
        const std::string why = std::strerror(errno ? errno : EIO);
        ::unlink(temp.c_str());
        throw HiveError("cannot replace \"" + path_ + "\": " + why + "; it was not changed");
    }
    FlushFolder(FolderOf(path_));
}

}  // namespace qm
