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

// ---------------------------------------------------------------- named code pages
// Code pages by their Windows numbers (65001 UTF-8, 1252 Western European,
// 1251 Cyrillic, 932 Japanese, ...).
constexpr std::uint32_t kCodePageUtf8 = 65001;
constexpr std::uint32_t kCodePageWindows1252 = 1252;

// The code page of the program's 8-bit text (the ANSI code page above): UTF-8
// natively, the process's active code page on Windows.
std::uint32_t AnsiCodePage();
// The code page the system's own programs (the registry editor) read and
// write 8-bit files in: on Windows the ANSI code page of the machine's system
// locale, whatever code page the program's manifest gives the program itself;
// natively UTF-8.
std::uint32_t MachineAnsiCodePage();

// Whether this build converts text of the code page (natively: UTF-8 and
// Windows-1252 always, others as the C library's iconv knows them).
bool CodePageKnown(std::uint32_t codePage);
// "UTF-8", "Windows-1252", "code page 932".
std::string CodePageName(std::uint32_t codePage);

// Exact conversions between text in `codePage` and UTF-16: false when a byte
// sequence does not read in the code page, a character has no form in it
// (no replacement characters, no best-fit letters), or the code page is not
// known. What succeeds converts back to exactly what it came from. Windows-
// 1252 reads every byte: its five unassigned ones stand for the control
// characters of the same number, as Windows reads them.
bool CodePageToUtf16(std::uint32_t codePage, const std::string& bytes, std::u16string& out);
bool Utf16ToCodePage(std::uint32_t codePage, const std::u16string& text, std::string& out);

}  // namespace qm
