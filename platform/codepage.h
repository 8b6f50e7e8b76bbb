// Conversions between the ANSI code page (the 8-bit text every registry and
// file call of the program uses), UTF-16 and UTF-8. On Windows the ANSI code
// page is the process's active code page (CP_ACP); the native build treats
// 8-bit text as UTF-8, as a Windows process declaring UTF-8 does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qm {

std::u16string AnsiToUtf16(const std::string& text);
// Characters the code page cannot show become '?', as WideCharToMultiByte does.
std::string Utf16ToAnsiText(const std::u16string& text);
std::string AnsiToUtf8(const std::string& text);
std::string Utf8ToAnsi(const std::string& text);

// UTF-8 <-> UTF-16, portable. Invalid UTF-8 sequences become U+FFFD.
std::u16string Utf8ToUtf16(const std::string& text);
std::string Utf16ToUtf8(const std::u16string& text);

// Registry text data: UTF-16LE bytes <-> code-page bytes, as the registry's 8-bit
// calls convert them. A trailing odd byte is dropped.
std::vector<std::uint8_t> Utf16LeBytesToAnsi(const std::uint8_t* data, std::size_t len);
std::vector<std::uint8_t> AnsiToUtf16LeBytes(const std::vector<std::uint8_t>& data);

}  // namespace qm
