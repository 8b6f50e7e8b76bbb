#include "ui/window_text_win32.h"

#include <algorithm>

namespace qm {

LRESULT AnswerWindowText(HWND window, UINT message, WPARAM wParam, LPARAM lParam, const std::string& text) {
    if (IsWindowUnicode(window)) {
        const int wide = MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
        std::wstring converted(static_cast<std::size_t>(std::max(wide, 0)), L'\0');
        if (wide > 0)
            MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), converted.data(), wide);
        if (message == WM_GETTEXTLENGTH) return static_cast<LRESULT>(converted.size());
        if (wParam == 0 || lParam == 0) return 0;
        const std::size_t n = std::min(converted.size(), static_cast<std::size_t>(wParam) - 1);
        auto* out = reinterpret_cast<wchar_t*>(lParam);
        converted.copy(out, n);
        out[n] = L'\0';
        return static_cast<LRESULT>(n);
    }
    if (message == WM_GETTEXTLENGTH) return static_cast<LRESULT>(text.size());
    if (wParam == 0 || lParam == 0) return 0;
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(wParam) - 1);
    auto* out = reinterpret_cast<char*>(lParam);
    text.copy(out, n);
    out[n] = '\0';
    return static_cast<LRESULT>(n);
}

HWND CreateNameLabel(HWND parent, const std::string& wording, int x, int y) {
    if (parent == nullptr || wording.empty()) return nullptr;
    return CreateWindowExA(0, "Static", wording.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, x, y, 0, 0,
                           parent, nullptr, reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE)),
                           nullptr);
}

}  // namespace qm
