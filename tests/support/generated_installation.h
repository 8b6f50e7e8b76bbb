// A generated Windows installation for tests and benchmarks: entries in every
// scanned registry area, naming files under a drive folder of which six in
// seven exist (created here), so that every category has intact and broken
// entries.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sys/stat.h>
#include <string>

#include "emulation/registry_memory.h"

namespace qm::testing {

// Fills `reg` with about `classes` COM classes and proportionate numbers of
// entries in the other areas; the files go below `drive` (drive C:).
inline void GenerateInstallation(MemoryRegistry& reg, const std::string& drive, int classes) {
    const std::string sw = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
    const std::string nt = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
    unsigned serial = 0;
    std::set<std::string> madeFolders;
    // Windows path -> a file below `drive`, made for nine in ten.
    const auto file = [&](const std::string& windowsPath) {
        if (++serial % 7 == 0) return;
        std::string host = drive;
        for (std::size_t i = 2; i < windowsPath.size(); ++i)
            host += windowsPath[i] == '\\' ? '/' : windowsPath[i];
        for (std::size_t at = drive.size() + 1; (at = host.find('/', at)) != std::string::npos; ++at)
            if (madeFolders.insert(host.substr(0, at)).second) ::mkdir(host.substr(0, at).c_str(), 0755);
        std::ofstream(host, std::ios::binary) << "x";
    };
    const auto hex = [](unsigned v) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%08X", v);
        return std::string(buf);
    };
    const std::string sys32 = "C:\\Windows\\System32", pf = "C:\\Program Files";
    // Files share folders, so that making them stays quick.
    for (int i = 0; i < classes; ++i) {
        const std::string cls = "HKEY_CLASSES_ROOT\\CLSID\\{" + hex(0x10000000u + unsigned(i) * 7919u) +
                                "-0000-11D0-9C3A-00A0C90A8F" + std::to_string(10 + i % 90) + "}";
        reg.SetString(cls, "", "Component " + std::to_string(i));
        if (i % 3 != 0) {
            const std::string dll = pf + "\\Vendor" + std::to_string(i % 20) + "\\comp" + std::to_string(i) + ".dll";
            reg.SetString(cls + "\\InprocServer32", "", dll);
            reg.SetString(cls + "\\InprocServer32", "ThreadingModel", "Apartment");
            file(dll);
        } else {
            const std::string exe = pf + "\\Vendor" + std::to_string(i % 20) + "\\app" + std::to_string(i) + ".exe";
            reg.SetString(cls + "\\LocalServer32", "", "\"" + exe + "\" -Embedding");
            file(exe);
        }
        if (i % 2 == 0) reg.SetString(cls + "\\ProgID", "", "Vendor.Component" + std::to_string(i));
    }
    for (int i = 0; i < classes / 3; ++i) {
        const std::string dll = pf + "\\Common Files\\Shared" + std::to_string(i % 10) + "\\lib" + std::to_string(i) + ".dll";
        reg.SetDword(sw + "\\SharedDLLs", dll, unsigned(i % 5 + 1));
        file(dll);
    }
    for (int i = 0; i < classes / 10; ++i) {
        const std::string key = sw + "\\Uninstall\\Product " + std::to_string(i);
        const std::string dir = pf + "\\Product" + std::to_string(i % 30);
        reg.SetString(key, "DisplayName", "Product " + std::to_string(i));
        reg.SetString(key, "UninstallString", "\"" + dir + "\\uninst" + std::to_string(i) + ".exe\" /S");
        file(dir + "\\uninst" + std::to_string(i) + ".exe");
        const std::string app = "App" + std::to_string(i) + ".exe";
        reg.SetString(sw + "\\App Paths\\" + app, "", dir + "\\" + app);
        file(dir + "\\" + app);
        const std::string font = "font" + std::to_string(i) + ".ttf";
        reg.SetString(nt + "\\Fonts", "Font " + std::to_string(i) + " (TrueType)", font);
        file("C:\\Windows\\Fonts\\" + font);
    }
    for (int i = 0; i < classes / 50 + 1; ++i) {
        const std::string n = std::to_string(i);
        reg.SetString(nt + "\\Drivers32", "msacm.codec" + n, "codec" + n + ".acm");
        file(sys32 + "\\codec" + n + ".acm");
        reg.SetString("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\Help", "help" + n + ".hlp", "C:\\Windows\\Help\\");
        file("C:\\Windows\\Help\\help" + n + ".hlp");
        reg.SetString(sw + "\\Run", "Agent" + n, "\"" + pf + "\\Agent\\agent" + n + ".exe\" -tray");
        file(pf + "\\Agent\\agent" + n + ".exe");
        reg.SetString("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "UserAgent" + n,
                      pf + "\\Agent\\user" + n + ".exe");
        file(pf + "\\Agent\\user" + n + ".exe");
        reg.SetString("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\Tool" + n, "Path",
                      pf + "\\Common Files\\tool" + n + ".exe");
        file(pf + "\\Common Files\\tool" + n + ".exe");
    }
}

}  // namespace qm::testing
