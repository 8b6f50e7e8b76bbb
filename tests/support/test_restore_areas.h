// The areas a restore may write into, for tests whose backups name keys of
// their own: the program's areas, all of HKEY_CURRENT_USER (the restore and
// fidelity tests' trees) and HKEY_LOCAL_MACHINE\SOFTWARE\QmRepair (the repair
// pass tests' keys), HKEY_LOCAL_MACHINE\SOFTWARE\QmNamed (the "(Default)"
// name test's key) and HKEY_CLASSES_ROOT\QmTool (a class-hive test's key).
#pragma once

#include <iterator>
#include <vector>

#include "repair/restore_areas.h"

namespace qm::test {

inline const RestoreAreas& TestRestoreAreas() {
    static const std::vector<RegistryArea> list = [] {
        std::vector<RegistryArea> l(std::begin(kRegistryAreas), std::end(kRegistryAreas));
        l.push_back({Category::Com, "HKEY_CURRENT_USER", AreaShape::SubKeys});
        l.push_back({Category::Com, "HKEY_CURRENT_USER", AreaShape::OwnValues});
        l.push_back({Category::Com, "HKEY_LOCAL_MACHINE\\SOFTWARE\\QmRepair", AreaShape::SubKeys});
        l.push_back({Category::Com, "HKEY_LOCAL_MACHINE\\SOFTWARE\\QmNamed", AreaShape::OwnValues});
        l.push_back({Category::Com, "HKEY_CLASSES_ROOT\\QmTool", AreaShape::OwnValues});
        return l;
    }();
    static const RestoreAreas areas(list.data(), list.size());
    return areas;
}

}  // namespace qm::test
