// A small, plausible machine: a few entries of every scanned area, most of
// them intact, some left behind by a "Contoso" product whose files are gone.
#include "cli/demo_registry.h"

#include <string>

#include "emulation/registry_memory.h"
#include "emulation/system_memory.h"

namespace qm::cli {

namespace {

const std::string kHklmSoftware = "HKEY_LOCAL_MACHINE\\SOFTWARE";
const std::string kClsid = "HKEY_CLASSES_ROOT\\CLSID\\";

class Demo {
public:
    Demo(MemoryRegistry& reg, MemorySystem& sys)
        : reg_(reg),
          sys_(sys),
          win_(sys.GetWindowsDirectory()),
          sys32_(sys.GetSystemDirectory()),
          pf_(sys.ExpandEnvironmentStrings("%ProgramFiles%")) {}

    void Str(const std::string& key, const std::string& name, const std::string& text) {
        reg_.SetString(key, name, text);
    }
    void Expand(const std::string& key, const std::string& name, const std::string& text) {
        reg_.SetString(key, name, text, kRegExpandSz);
    }
    void File(const std::string& path) { sys_.AddFile(path); }

    void ComClasses() {
        // The OLE automation marshaller: a legacy 16-bit server that is long
        // gone beside the working 32-bit one. Not a finding.
        const std::string ps = kClsid + "{00020420-0000-0000-C000-000000000046}";
        Str(ps, "", "PSDispatch");
        Str(ps + "\\InprocServer", "", "ole2disp.dll");
        Str(ps + "\\InprocServer32", "", "oleaut32.dll");
        Str(ps + "\\InprocServer32", "ThreadingModel", "Both");
        File(sys32_ + "\\oleaut32.dll");

        const std::string ie = kClsid + "{0002DF01-0000-0000-C000-000000000046}";
        Str(ie, "", "Internet Explorer(Ver 1.0)");
        Str(ie + "\\LocalServer32", "", "\"" + pf_ + "\\Internet Explorer\\iexplore.exe\"");
        Str(ie + "\\ProgID", "", "InternetExplorer.Application.1");
        File(pf_ + "\\Internet Explorer\\iexplore.exe");

        const std::string shell = kClsid + "{13709620-C279-11CE-A49E-444553540000}";
        Str(shell, "", "Shell Automation Service");
        Expand(shell + "\\InProcServer32", "", "%SystemRoot%\\system32\\shell32.dll");
        File(sys32_ + "\\shell32.dll");

        // Left behind by the uninstalled photo viewer.
        const std::string thumbs = kClsid + "{6C3A8E2B-4F1D-4B6A-9E3C-2D7F5A1B9C04}";
        Str(thumbs, "", "Contoso Photo Thumbnail Provider");
        Str(thumbs + "\\InprocServer32", "", pf_ + "\\Contoso\\PhotoViewer\\ctthumbs.dll");
        Str(thumbs + "\\InprocServer32", "ThreadingModel", "Apartment");
        Str(thumbs + "\\ProgID", "", "Contoso.PhotoThumbnail.1");

        const std::string sync = kClsid + "{8F2D4C61-0B7E-4A39-B5D2-71E6C3A09F58}";
        Str(sync, "", "Contoso Sync Broker");
        Expand(sync + "\\LocalServer32", "", "\"%ProgramFiles%\\Contoso\\Sync\\ctsync.exe\" /automation");
    }

    void SharedDlls() {
        const std::string key = kHklmSoftware + "\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
        reg_.SetDword(key, sys32_ + "\\msvcp60.dll", 6);
        File(sys32_ + "\\msvcp60.dll");
        reg_.SetDword(key, "mfc42.dll", 3);
        File(sys32_ + "\\mfc42.dll");
        reg_.SetDword(key, pf_ + "\\Common Files\\Contoso\\ctimage.dll", 1);
    }

    void Drivers() {
        const std::string key = kHklmSoftware + "\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";
        Str(key, "wave", "wdmaud.drv");
        Str(key, "midi", "wdmaud.drv");
        File(sys32_ + "\\wdmaud.drv");
        Str(key, "msacm.l3acm", "l3codeca.acm");
        File(sys32_ + "\\l3codeca.acm");
        Str(key, "vidc.ctvc", "ctvcodec.dll");
    }

    void HelpFiles() {
        const std::string help = kHklmSoftware + "\\Microsoft\\Windows\\Help";
        Str(help, "windows.hlp", win_ + "\\Help\\");
        File(win_ + "\\Help\\windows.hlp");
        Str(help, "ctphoto.hlp", pf_ + "\\Contoso\\PhotoViewer\\Help\\");
        const std::string html = kHklmSoftware + "\\Microsoft\\Windows\\HTML Help";
        Str(html, "ntshared.chm", win_ + "\\Help\\");
        File(win_ + "\\Help\\ntshared.chm");
    }

    void AppPaths() {
        const std::string key = kHklmSoftware + "\\Microsoft\\Windows\\CurrentVersion\\App Paths";
        Str(key + "\\IEXPLORE.EXE", "", pf_ + "\\Internet Explorer\\IEXPLORE.EXE");
        Str(key + "\\IEXPLORE.EXE", "Path", pf_ + "\\Internet Explorer;");
        // No drive letter before expansion: passed over.
        Expand(key + "\\wordpad.exe", "", "\"%ProgramFiles%\\Windows NT\\Accessories\\WORDPAD.EXE\"");
        Str(key + "\\CtPhoto.exe", "", pf_ + "\\Contoso\\PhotoViewer\\ctphoto.exe");
        Str(key + "\\CtPhoto.exe", "Path", pf_ + "\\Contoso\\PhotoViewer\\");
    }

    void SharedTools() {
        const std::string key = kHklmSoftware + "\\Microsoft\\Shared Tools";
        const std::string msinfo = pf_ + "\\Common Files\\Microsoft Shared\\MSInfo\\msinfo32.exe";
        Str(key + "\\MSInfo", "Path", msinfo);
        File(msinfo);
        Str(key + "\\Contoso Graph", "Path", pf_ + "\\Common Files\\Contoso\\Graph\\ctgraph.exe");
        Str(key + "\\Contoso Graph", "Version", "3.1");
    }

    void Fonts() {
        const std::string key = kHklmSoftware + "\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
        Str(key, "Arial (TrueType)", "arial.ttf");
        File(win_ + "\\Fonts\\arial.ttf");
        Str(key, "Tahoma (TrueType)", "tahoma.ttf");
        File(win_ + "\\Fonts\\tahoma.ttf");
        Str(key, "Contoso Sans (TrueType)", "ctsans.ttf");
    }

    void Startup() {
        const std::string key = kHklmSoftware + "\\Microsoft\\Windows\\CurrentVersion\\Run";
        const std::string audio = pf_ + "\\Realtek\\Audio\\HDA\\RtkNGUI64.exe";
        Str(key, "RTHDVCPL", "\"" + audio + "\" -s");
        File(audio);
        Str(key, "ContosoUpdater", "\"" + pf_ + "\\Contoso\\Updater\\ctupdate.exe\" /background");
        Str(key, "ContosoTray", "rundll32.exe \"" + pf_ + "\\Contoso\\PhotoViewer\\cttray.dll\",Start");
    }

    void Uninstall() {
        const std::string key = kHklmSoftware + "\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
        const std::string zip = key + "\\7-Zip";
        Str(zip, "DisplayName", "7-Zip 23.01 (x64)");
        Str(zip, "UninstallString", "\"" + pf_ + "\\7-Zip\\Uninstall.exe\"");
        File(pf_ + "\\7-Zip\\Uninstall.exe");
        const std::string msi = key + "\\{23170F69-40C1-2702-2301-000001000000}";
        Str(msi, "DisplayName", "Contoso Runtime");
        Str(msi, "UninstallString", "MsiExec.exe /X{23170F69-40C1-2702-2301-000001000000}");
        const std::string photo = key + "\\ContosoPhotoViewer";
        Str(photo, "DisplayName", "Contoso Photo Viewer 4.2");
        Str(photo, "UninstallString",
            "\"" + pf_ + "\\Contoso\\PhotoViewer\\unins000.exe\" /SILENT");
        Str(photo, "DisplayIcon", pf_ + "\\Contoso\\PhotoViewer\\ctphoto.exe,0");
    }

private:
    MemoryRegistry& reg_;
    MemorySystem& sys_;
    std::string win_, sys32_, pf_;
};

}  // namespace

void PopulateDemoRegistry(MemoryRegistry& registry, MemorySystem& system) {
    Demo demo(registry, system);
    demo.ComClasses();
    demo.SharedDlls();
    demo.Drivers();
    demo.HelpFiles();
    demo.AppPaths();
    demo.SharedTools();
    demo.Fonts();
    demo.Startup();
    demo.Uninstall();
}

}  // namespace qm::cli
