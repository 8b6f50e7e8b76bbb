// One Windows registry hive file (SOFTWARE, SYSTEM, NTUSER.DAT,
// UsrClass.dat) read and written through the hivex library.
//
// The hive's keys and values are copied into a MemoryRegistry below a mount
// path, where the engine works on them. Writing back applies only the
// differences between that registry and the hive to the hive, through hivex's
// node operations, so everything the registry does not show (security
// records, class names, time stamps of keys left alone, values whose names
// cannot be read) stays as it was. The result is committed to a new file
// beside the hive, flushed and renamed over it; before the first commit the
// hive is kept as "HIVE.orig".
//
// Values larger than kHiveBigDataLimit are kept by Windows in big-data form;
// hivex rewrites a key's values as single cells, which other readers refuse
// for such sizes, and cannot write such a value anew. So a key that holds (or
// would hold) such a value is never rewritten nor deleted: LoadInto marks it
// as refusing changes, HiveRegistry refuses a new one, and ApplyChanges throws
// should one get through all the same.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "emulation/registry_memory.h"

namespace qm {

// The largest value data the hive keeps in one cell.
constexpr std::size_t kHiveBigDataLimit = 16344;

class HiveError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What the header of a hive and its transaction logs say about pending data.
struct HiveCleanliness {
    bool clean = true;
    std::string reason;  // why it is not clean, for messages
};

// Reads the header of the hive at `path` and of "PATH.LOG1", "PATH.LOG2" and
// "PATH.LOG" beside it (names matched without regard to case): not clean when
// the hive's two sequence numbers differ or a log holds entries the hive does
// not have yet.
HiveCleanliness CheckHiveCleanliness(const std::string& path);

// The size a value of `type` with 8-bit data `data` takes in a hive (text as
// UTF-16).
std::size_t HiveStoredSize(std::uint32_t type, const std::vector<std::uint8_t>& data);

// What a Commit of the hive at `path` that never finished (a killed run, a
// crash) left beside it: the new hive it was writing ("HIVE.PID.tmp") and the
// copy of the original it was keeping ("HIVE.orig.PID.tmp"), regular files
// only. Such files belong to no run once the hive's lock is held (commits
// are made under it).
std::vector<std::string> CommitLeftovers(const std::string& path);

class HiveFile {
public:
    // Opens the hive; `writable` reads it whole into memory so that it can be
    // changed and committed. Throws HiveError.
    HiveFile(const std::string& path, bool writable);
    ~HiveFile();
    HiveFile(const HiveFile&) = delete;
    HiveFile& operator=(const HiveFile&) = delete;

    const std::string& Path() const { return path_; }

    // Copies every key and value into `registry` below `mountPath` (a full
    // path such as "HKEY_LOCAL_MACHINE\\SOFTWARE"). Sub-trees named in `skip`
    // (paths below the hive's root, e.g. "Software\\Classes") are left out.
    // Text values (types 1, 2, 7) are converted from UTF-16 to 8-bit text as
    // the registry's 8-bit calls return them. A key holding a value hivex
    // cannot read, or a sub-key whose name is not text, is loaded without
    // them and refuses changes (MemoryRegistry::SetDenyDelete), since
    // rewriting it would lose them; so does a key holding a value larger
    // than kHiveBigDataLimit (see above). Throws HiveError when the hive
    // cannot be read.
    void LoadInto(MemoryRegistry& registry, const std::string& mountPath,
                  const std::vector<std::string>& skip = {});

    // Makes the hive (in memory) hold what `registry` holds below
    // `mountPath`; `skip` as for LoadInto (never touched). Returns the number
    // of keys whose values or sub-keys were changed. Throws HiveError.
    std::size_t ApplyChanges(const MemoryRegistry& registry, const std::string& mountPath,
                             const std::vector<std::string>& skip = {});

    // Writes the hive to its file: keeps "PATH.orig" first (once), then
    // writes a new file beside it, flushes it and renames it over the hive.
    // On failure the hive file is unchanged. Throws HiveError.
    void Commit();

private:
    struct Impl;
    std::string path_;
    std::unique_ptr<Impl> impl_;
};

}  // namespace qm
