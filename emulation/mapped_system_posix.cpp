#include "emulation/mapped_system.h"

namespace qm {

MappedSystem::MappedSystem(const DriveMap& drives) : drives_(drives) {
    UseWindowsLayout("C:\\Windows", "C:\\Windows\\System32");
}

bool MappedSystem::FileExists(const std::string& path) { return drives_.Exists(path); }

bool MappedSystem::IsDirectory(const std::string& path) { return drives_.IsDirectory(path); }

bool MappedSystem::IsLocalDrive(char letter) { return drives_.Folder(letter) != nullptr; }

bool MappedSystem::PresenceUnknown(const std::string& path) {
    return drives_.Look(path) == DriveMap::Presence::Unknown;
}

void MappedSystem::UseWindowsLayout(const std::string& windowsDir, const std::string& systemDir) {
    SetWindowsDirectory(windowsDir);
    SetSystemDirectory(systemDir);
    const std::string drive = windowsDir.size() >= 2 && windowsDir[1] == ':' ? windowsDir.substr(0, 2) : "C:";
    const struct {
        const char* name;
        std::string value;
    } vars[] = {
        {"SystemDrive", drive},
        {"SystemRoot", windowsDir},
        {"windir", windowsDir},
        {"ProgramFiles", drive + "\\Program Files"},
        {"ProgramFiles(x86)", drive + "\\Program Files (x86)"},
        {"ProgramW6432", drive + "\\Program Files"},
        {"CommonProgramFiles", drive + "\\Program Files\\Common Files"},
        {"CommonProgramFiles(x86)", drive + "\\Program Files (x86)\\Common Files"},
        {"CommonProgramW6432", drive + "\\Program Files\\Common Files"},
        {"ProgramData", drive + "\\ProgramData"},
        {"ALLUSERSPROFILE", drive + "\\ProgramData"},
        {"PUBLIC", drive + "\\Users\\Public"},
        {"USERPROFILE", drive + "\\Users\\User"},
        {"HOMEDRIVE", drive},
        {"HOMEPATH", "\\Users\\User"},
        {"APPDATA", drive + "\\Users\\User\\AppData\\Roaming"},
        {"LOCALAPPDATA", drive + "\\Users\\User\\AppData\\Local"},
        {"TEMP", drive + "\\Users\\User\\AppData\\Local\\Temp"},
        {"TMP", drive + "\\Users\\User\\AppData\\Local\\Temp"},
        {"USERNAME", "User"},
        {"COMPUTERNAME", "QUILLMERE-DEMO"},
        {"OS", "Windows_NT"},
        {"ComSpec", systemDir + "\\cmd.exe"},
        {"PATH", systemDir + ";" + windowsDir + ";" + systemDir + "\\Wbem"},
        {"PATHEXT", ".COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH;.MSC"},
    };
    for (const auto& v : vars) SetEnvironmentVariable(v.name, v.value);
}

}  // namespace qm
