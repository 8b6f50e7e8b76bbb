// libFuzzer target for the backup reader and the restore on top of it: every
// input is written to a file, read event by event with CXmlReader, then
// restored into an in-memory registry. Built by hand with clang (see
// fuzz/README.md); not part of the test run.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/registry_lib.h"
#include "emulation/registry_memory.h"
#include "emulation/system_memory.h"
#include "repair/registry_repair.h"
#include "repair/restore_ui.h"
#include "repair/xml_reader.h"

namespace {

const std::string& InputPath() {
    static const std::string path = "/tmp/quillmere-xml-fuzz-" + std::to_string(::getpid()) + ".xml";
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = InputPath();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    // The reader alone: every step must move on, so the events are bounded
    // by a few per input byte.
    {
        qm::CXmlReader reader;
        reader.SetFileName(path);
        std::size_t events = 0;
        while (reader.ReadNext() == 1) {
            if (++events > 8 * size + 16) __builtin_trap();  // a step that does not advance
        }
        reader.Close();
    }

    // The restore into a fresh in-memory registry.
    {
        qm::MemoryRegistry registry;
        qm::MemorySystem system;
        qm::EngineServices services;
        services.registry = &registry;
        services.system = &system;
        services.ignoreFile = "/nonexistent/ignore.lst";
        qm::CRegistryLib lib(services);
        qm::CRegistryRepair repair(lib);
        qm::RecordingRestoreUi ui;
        repair.SetRestoreUi(&ui);
        qm::CXmlReader reader;
        repair.LoadAsXml(reader, path);
        if (registry.OpenHandleCount() != 0) __builtin_trap();  // a key handle leaked
    }
    return 0;
}
