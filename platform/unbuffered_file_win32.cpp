#include <windows.h>

#include "platform/unbuffered_file.h"

namespace qm {
namespace {

HANDLE AsHandle(long long h) { return reinterpret_cast<HANDLE>(static_cast<INT_PTR>(h)); }

}  // namespace

UnbufferedFile::OpenResult UnbufferedFile::CreateNew(const std::string& name) {
    Close();
    HANDLE h = ::CreateFileA(name.c_str(), GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD err = ::GetLastError();
        return (err == ERROR_FILE_EXISTS || err == ERROR_ALREADY_EXISTS) ? OpenResult::Exists
                                                                          : OpenResult::Failed;
    }
    handle_.Reset(static_cast<long long>(reinterpret_cast<INT_PTR>(h)));
    return OpenResult::Opened;
}

bool UnbufferedFile::Write(const char* data, std::size_t length) {
    if (!IsOpen()) return false;
    while (length > 0) {
        const DWORD chunk = length > 0x40000000u ? 0x40000000u : static_cast<DWORD>(length);
        DWORD written = 0;
        if (!::WriteFile(AsHandle(handle_.Get()), data, chunk, &written, nullptr) || written == 0)
            return false;
        data += written;
        length -= written;
    }
    return true;
}

bool UnbufferedFile::Traits::Close(Handle h) { return ::CloseHandle(AsHandle(h)) != 0; }

}  // namespace qm
