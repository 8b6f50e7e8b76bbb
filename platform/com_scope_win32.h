// CoInitializeEx / CoUninitialize for the lifetime of a scope (a
// single-threaded apartment unless other flags are given). Uninitialises only
// what it initialised: a thread already in another apartment keeps it.
#pragma once

#include <objbase.h>

namespace qm {

class ComScope {
public:
    explicit ComScope(DWORD flags = COINIT_APARTMENTTHREADED) : status_(::CoInitializeEx(nullptr, flags)) {}
    ~ComScope() {
        if (SUCCEEDED(status_)) ::CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT status_;
};

}  // namespace qm
