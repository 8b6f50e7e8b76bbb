// Native build: 8-bit text is UTF-8.
#include "platform/codepage.h"

namespace qm {

std::u16string AnsiToUtf16(const std::string& text) { return Utf8ToUtf16(text); }
std::string Utf16ToAnsiText(const std::u16string& text) { return Utf16ToUtf8(text); }
std::string AnsiToUtf8(const std::string& text) { return text; }
std::string Utf8ToAnsi(const std::string& text) { return text; }

}  // namespace qm
