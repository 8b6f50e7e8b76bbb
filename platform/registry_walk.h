// Reading and removing registry keys whole, over IRegistry.
//
// The registry's own calls fill caller-sized buffers and answer 234 when a
// name or datum does not fit. The longest lengths a key reports count UTF-16
// units, while the 8-bit text of a name may take up to three bytes per unit
// (a UTF-8 code page), and data may grow between two calls. Every read here
// follows one policy: start from the reported size, and on 234 grow (to the
// size the registry asked for, or twice the size) and read again, so a name
// or value is read whole whatever its length, or its read fails with 234
// once the buffers have reached their limits.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/registry.h"

namespace qm {

// One value as the registry holds it: name ("" for the unnamed value),
// type and data bytes.
struct RegValueRecord {
    std::string name;
    std::uint32_t type = kRegNone;
    std::vector<std::uint8_t> data;
};

// Buffers a caller keeps between reads (a scan reads tens of thousands of
// small keys). Trim gives back buffers grown beyond `keep` bytes.
struct RegReadBuffers {
    std::vector<char> name;
    std::vector<std::uint8_t> data;
    void Trim(std::size_t keep);
};

// The name of sub-key `index` of `key`: 0 and the name, 259 past the last,
// or the registry's failure (234 only for a name beyond every limit).
RegStatus EnumSubKeyName(IRegistry& reg, RegKey key, std::uint32_t index, std::string* name,
                         RegReadBuffers& buffers);
// Value `index` of `key`, name and data whole. `out` keeps its capacity.
RegStatus EnumValue(IRegistry& reg, RegKey key, std::uint32_t index, RegValueRecord* out,
                    RegReadBuffers& buffers);
// RegQueryValueExA read whole; `out->name` is set to `name`.
RegStatus QueryValue(IRegistry& reg, RegKey key, const char* name, RegValueRecord* out);

// Every sub-key name (every value) in enumeration order. 0 when the whole
// list was read; otherwise the first failure, and the list holds what could
// be read (a value that could not be read is left out, the rest still read).
RegStatus ReadSubKeyNames(IRegistry& reg, RegKey key, std::vector<std::string>* names);
RegStatus ReadValues(IRegistry& reg, RegKey key, std::vector<RegValueRecord>* values);

// One key met by WalkTree.
struct RegWalkKey {
    RegKey key;               // open (the top key as the caller gave it)
    const std::string& name;  // as the registry stores it; "" for the top key
    const std::string& path;  // RegWalk::topPath, then the names below it after
                              // a backslash each ("" without a top path)
    std::size_t depth;        // 0 for the top key
    std::size_t subKeys;      // the sub-key names read
};

// What WalkTree does when a key below the top does not open, a key's sub-key
// names cannot be read, or the visit answers a failure.
enum class RegWalkFailure : std::uint8_t {
    kStop,  // the walk ends with that failure
    kSkip,  // a key that does not open is left out with everything below it,
            // one the visit refuses has its sub-keys left out, a key whose
            // names cannot all be read is walked with those that could; the
            // walk goes on and ends with 0
};

struct RegWalk {
    std::uint32_t access = kKeyRead;  // the rights each key below the top opens with
    RegWalkFailure onFailure = RegWalkFailure::kStop;
    const std::string* topPath = nullptr;  // when given, every key's path is kept
};

// The depth-first walk of a key tree: the open key `top` and every key below
// it, a key before its sub-keys, sub-keys in enumeration order. Each key's
// sub-key names are read, then `visit` sees the key. 0 when the whole tree
// was walked; otherwise as `how.onFailure` says. Iterative: any depth.
RegStatus WalkTree(IRegistry& reg, RegKey top, const RegWalk& how,
                   const std::function<RegStatus(const RegWalkKey&)>& visit);

// A key and everything below it, keys in depth-first order (a key before its
// sub-keys, sub-keys in enumeration order). `depth` is 0 for the key read.
struct RegTreeKey {
    std::string name;  // as the registry stores it; "" for the key read
    std::size_t depth = 0;
    std::size_t subKeys = 0;
    std::vector<RegValueRecord> values;
};
// Reads the tree below the open `key` whole. 0 on success; otherwise the
// failure of the first part that could not be read (a key that would not
// open, a list that could not be read) and `tree` is incomplete. Iterative:
// any depth. Without `topValues` the values of `key` itself are not read
// (its node holds none): the tree of its sub-keys alone.
RegStatus ReadTree(IRegistry& reg, RegKey key, std::vector<RegTreeKey>* tree, bool topValues = true);

// The name of `parent`'s sub-key `name` as the registry stores it (names
// compare without regard to ASCII letter case). 2 when there is none.
RegStatus StoredSubKeyName(IRegistry& reg, RegKey parent, const std::string& name,
                           std::string* stored);

// StoredSubKeyName for many names below the same parent, as a repair asks for
// one finding after another: the parent's sub-key names are read once (one
// enumeration instead of one per name) and kept until a name below another
// parent is asked for or End. A name not among those read (a key made
// since) is looked for as StoredSubKeyName does. Outside Begin ... End
// every name is looked for afresh.
class StoredSubKeyNames {
public:
    // `parentPath` names `parent` (its full path; letter case aside).
    RegStatus Find(IRegistry& reg, RegKey parent, const std::string& parentPath, const std::string& name,
                   std::string* stored);
    // While no key is made or renamed but through the caller.
    void Begin();
    void End();

private:
    bool active_ = false;
    std::string parent_;  // lower case; empty: nothing read
    std::unordered_map<std::string, std::string> byLowerName_;
};

// Whether DeleteTree could remove `subKey` below `parent` whole: every key of
// the tree opens with delete and enumerate rights and every sub-key name
// reads. 0 when it could; otherwise the failure, and nothing was changed.
RegStatus CheckDeleteTree(IRegistry& reg, RegKey parent, const std::string& subKey);

// Deletes `subKey` below `parent` with everything below it, deepest keys
// first, after CheckDeleteTree has found all of it deletable: when the check
// fails nothing is deleted and its status returned. 1010 for an empty
// `subKey`. When a deletion fails part-way (the registry changed after the
// check), the status is returned and `left`, when given, receives the paths
// (relative to `parent`) of the keys still there. Iterative: any depth.
RegStatus DeleteTree(IRegistry& reg, RegKey parent, const std::string& subKey,
                     std::vector<std::string>* left = nullptr);

}  // namespace qm
