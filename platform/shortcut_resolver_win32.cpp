// Shortcut targets through the shell's link object: create the shell link
// (IShellLinkA), load the file through its IPersistFile, GetPath into a
// MAX_PATH buffer pre-filled with the shortcut's own path. Outside a batch
// each call initialises COM around itself and creates its own link object, so
// any thread may call it; inside a batch (BeginBatch) the thread's COM
// initialisation and one link object serve every call.
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

// One shell-link object with its persist-file interface. Declared in this
// order so that the persist-file interface is released first.
struct LinkObject {
    ComPtr<IShellLinkA> link;
    ComPtr<IPersistFile> file;

    HRESULT Create() {
        HRESULT hr = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_IShellLinkA, reinterpret_cast<void**>(link.GetAddressOf()));
        if (FAILED(hr)) return hr;
        return link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.GetAddressOf()));
    }
};

class ShellLinkBatch;
// The batch open on this thread, if any.
thread_local ShellLinkBatch* t_batch = nullptr;

class ShellLinkBatch : public ShortcutBatch {
public:
    ShellLinkBatch() : created_(object_.Create()), outer_(t_batch) { t_batch = this; }
    ~ShellLinkBatch() override { t_batch = outer_; }
    ShellLinkBatch(const ShellLinkBatch&) = delete;
    ShellLinkBatch& operator=(const ShellLinkBatch&) = delete;

    HRESULT Created() const { return created_; }
    LinkObject& Object() { return object_; }

private:
    ComScope com_;  // constructed first, destroyed last
    LinkObject object_;
    HRESULT created_;
    ShellLinkBatch* outer_;
};

std::int32_t ReadPath(LinkObject& object, const std::string& shortcutPath, std::string& target) {
    WCHAR wide[MAX_PATH];
    if (::MultiByteToWideChar(CP_ACP, 0, shortcutPath.c_str(), -1, wide, MAX_PATH) == 0) {
        // Longer than MAX_PATH (or not convertible): never load a cut path.
        return HRESULT_FROM_WIN32(::GetLastError());
    }
    HRESULT hr = object.file->Load(wide, STGM_READ);
    if (FAILED(hr)) return hr;

    char buffer[MAX_PATH];
    ::lstrcpynA(buffer, shortcutPath.c_str(), MAX_PATH);
    WIN32_FIND_DATAA findData;
    hr = object.link->GetPath(buffer, MAX_PATH, &findData, SLGP_SHORTPATH);
    if (SUCCEEDED(hr)) {
        buffer[MAX_PATH - 1] = '\0';
        target = buffer;
    }
    return hr;
}

class ShellLinkResolver : public IShortcutResolver {
public:
    std::unique_ptr<ShortcutBatch> BeginBatch() override { return std::make_unique<ShellLinkBatch>(); }

    std::int32_t GetShortcutPath(const std::string& shortcutPath, std::string& target) override {
        if (t_batch != nullptr) {
            if (FAILED(t_batch->Created())) return t_batch->Created();
            return ReadPath(t_batch->Object(), shortcutPath, target);
        }
        ComScope com;
        LinkObject object;
        const HRESULT hr = object.Create();
        if (FAILED(hr)) return hr;
        return ReadPath(object, shortcutPath, target);
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
