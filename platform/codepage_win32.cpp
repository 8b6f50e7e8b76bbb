#include <windows.h>

#include "platform/codepage.h"

namespace qm {
namespace {

std::u16string ToWide(UINT codePage, const std::string& text) {
    if (text.empty()) return {};
    int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) return {};
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &w[0], n);
    return std::u16string(w.begin(), w.end());
}

std::string FromWide(UINT codePage, const std::u16string& text) {
    if (text.empty()) return {};
    std::wstring w(text.begin(), text.end());
    int n = WideCharToMultiByte(codePage, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                nullptr, nullptr);
    if (n <= 0) return {};
    std::string s(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, w.data(), static_cast<int>(w.size()), &s[0], n, nullptr,
                        nullptr);
    return s;
}

// Text of ASCII characters only is the same in UTF-8 and in every ANSI code
// page, and needs no conversion.
bool IsAscii(const std::string& text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

}  // namespace

std::u16string AnsiToUtf16(const std::string& text) { return ToWide(CP_ACP, text); }
std::uint32_t AnsiCodePage() { return GetACP(); }

std::uint32_t MachineAnsiCodePage() {
    // The system locale's, which a manifest's active code page does not change.
    DWORD codePage = 0;
    if (GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                       reinterpret_cast<LPWSTR>(&codePage), sizeof codePage / sizeof(WCHAR)) == 0 ||
        codePage == 0)
        return GetACP();
    return codePage;
}

bool CodePageKnown(std::uint32_t codePage) { return IsValidCodePage(codePage) != FALSE; }

std::string CodePageName(std::uint32_t codePage) {
    if (codePage == kCodePageUtf8) return "UTF-8";
    if (codePage >= 1250 && codePage <= 1258) return "Windows-" + std::to_string(codePage);
    return "code page " + std::to_string(codePage);
}

bool CodePageToUtf16(std::uint32_t codePage, const std::string& bytes, std::u16string& out) {
    out.clear();
    if (!CodePageKnown(codePage)) return false;
    if (bytes.empty()) return true;
    out = ToWide(codePage, bytes);
    // Exact only when it converts back to the same bytes: a sequence that
    // does not read became U+FFFD or the code page's default character.
    std::string back;
    return !out.empty() && Utf16ToCodePage(codePage, out, back) && back == bytes;
}

bool Utf16ToCodePage(std::uint32_t codePage, const std::u16string& text, std::string& out) {
    out.clear();
    if (!CodePageKnown(codePage)) return false;
    if (text.empty()) return true;
    out = FromWide(codePage, text);
    // No best-fit letters or default characters: it reads back the same.
    return !out.empty() && ToWide(codePage, out) == text;
}
std::string Utf16ToAnsiText(const std::u16string& text) { return FromWide(CP_ACP, text); }
std::string AnsiToUtf8(const std::string& text) {
    return IsAscii(text) || GetACP() == CP_UTF8 ? text : Utf16ToUtf8(AnsiToUtf16(text));
}
std::string Utf8ToAnsi(const std::string& text) {
    return IsAscii(text) || GetACP() == CP_UTF8 ? text : Utf16ToAnsiText(Utf8ToUtf16(text));
}

}  // namespace qm
