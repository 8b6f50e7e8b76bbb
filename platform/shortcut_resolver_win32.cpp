// Shortcut targets through the shell's link object: CoInitialize, create the
// shell link (IShellLinkA), load the file through its IPersistFile, GetPath
// into a MAX_PATH buffer pre-filled with the shortcut's own path, release both
// interfaces, CoUninitialize. The object library is initialised around every
// single shortcut, so any thread may call this.
#include <windows.h>

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <atomic>

#include "platform/com_scope_win32.h"
#include "platform/shortcut_resolver.h"

namespace qm {

namespace {

using Microsoft::WRL::ComPtr;

class ShellLinkResolver : public IShortcutResolver {
public:
    std::int32_t GetShortcutPath(const std::string& shortcutPath, std::string& target) override {
        ComScope com;
        // Declared in this order so that the persist-file interface is
        // released before the shell-link interface.
        ComPtr<IShellLinkA> link;
        HRESULT hr = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_IShellLinkA, reinterpret_cast<void**>(link.GetAddressOf()));
        if (FAILED(hr)) return hr;
        ComPtr<IPersistFile> file;
        hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.GetAddressOf()));
        if (FAILED(hr)) return hr;

        WCHAR wide[MAX_PATH];
        if (::MultiByteToWideChar(CP_ACP, 0, shortcutPath.c_str(), -1, wide, MAX_PATH) == 0) {
            // Longer than MAX_PATH (or not convertible): never load a cut path.
            return HRESULT_FROM_WIN32(::GetLastError());
        }
        hr = file->Load(wide, STGM_READ);
        if (FAILED(hr)) return hr;

        char buffer[MAX_PATH];
        ::lstrcpynA(buffer, shortcutPath.c_str(), MAX_PATH);
        WIN32_FIND_DATAA findData;
        hr = link->GetPath(buffer, MAX_PATH, &findData, SLGP_SHORTPATH);
        if (SUCCEEDED(hr)) {
            buffer[MAX_PATH - 1] = '\0';
            target = buffer;
        }
        return hr;
    }
};

std::atomic<IShortcutResolver*> g_resolver{nullptr};

}  // namespace

IShortcutResolver& DefaultShortcutResolver() {
    if (IShortcutResolver* chosen = g_resolver.load()) return *chosen;
    static ShellLinkResolver shell;
    return shell;
}

void SetDefaultShortcutResolver(IShortcutResolver* resolver) { g_resolver.store(resolver); }

}  // namespace qm
