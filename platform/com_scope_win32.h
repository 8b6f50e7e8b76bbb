// CoInitialize / CoUninitialize for the lifetime of a scope. Uninitialises only
// what it initialised: a thread already in another apartment keeps it.
#pragma once

#include <objbase.h>

namespace qm {

class ComScope {
public:
    ComScope() : status_(::CoInitialize(nullptr)) {}
    ~ComScope() {
        if (SUCCEEDED(status_)) ::CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT status_;
};

}  // namespace qm
