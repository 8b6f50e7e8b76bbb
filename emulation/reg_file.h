// Registry export files as the registry editor reads and writes them:
// "Windows Registry Editor Version 5.00" (UTF-16LE with a byte-order mark, or
// 8-bit) and "REGEDIT4" (8-bit). Loading applies the file to a registry
// ([KEY] creates, [-KEY] deletes a tree, "name"=- deletes a value); saving
// writes every key of a registry in the same format.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace qm {

enum class RegFileFormat {
    Unicode5,  // version 5.00 in UTF-16LE with a byte-order mark (what regedit writes)
    Utf8_5,    // version 5.00, 8-bit text (in a code page: see RegFileEncoding)
    Regedit4,  // REGEDIT4, 8-bit text
};

// How a file's text is read and written back. The registry editor reads an
// 8-bit file (either header) as text in the machine's ANSI code page; this
// program reads it in the code page it is given or chooses (ReadRegText) and
// writes it back in the same one, so that what a run did not change keeps
// its bytes. Text the code page cannot hold is written as UTF-16 (version 5
// with a byte-order mark), which the editor reads back the same.
struct RegFileEncoding {
    RegFileFormat format = RegFileFormat::Unicode5;
    // 8-bit files: the code page their text is in (kCodePageUtf8, 1252, ...).
    // 0 when none was settled: a file of ASCII text read without a code page
    // given, natively. Its text goes back as it is, and text beyond ASCII in
    // a version 5 file is then written as UTF-16.
    std::uint32_t codePage = 0;
    bool utf8ByteOrderMark = false;  // an 8-bit file that began with one
};

// The code page of an 8-bit file chosen by what the file allows.
constexpr std::uint32_t kRegFileChooseCodePage = 0;

// A malformed file: `line` is the 1-based line the problem is on.
class RegFileError : public std::runtime_error {
public:
    RegFileError(int line, const std::string& message);
    int Line() const { return line_; }

private:
    int line_;
};

// The largest registry file read: twice what the registry editor writes for
// a large HKEY_LOCAL_MACHINE.
constexpr std::uint64_t kRegFileSizeLimit = 1ull << 30;

// An 8-bit file whose text does not read in the code page asked for or chosen.
class RegFileCodePageError : public RegFileError {
public:
    using RegFileError::RegFileError;
};

// A line the registry editor skips when it imports the file, and what it
// does instead ("... (the registry editor skips this value)").
struct RegFileSkippedLine {
    int line = 0;  // 1-based
    std::string what;
};

// Parses the whole file first and applies it only when all of it is valid, so
// a malformed file changes nothing. Throws RegFileError, or std::runtime_error
// when the file cannot be read or is larger than `sizeLimit`.
//
// The file is read as the registry editor imports it. A line the editor
// skips (a value whose hex data is broken, "name"=-"text", a key line with a
// blank after '[', a value below a key it cannot open, ...) is refused as
// one that writing the file back would lose, unless `skipped` is given: the
// rest of the file is then applied as the editor applies it and each such
// line is listed there. What makes the editor fail part way (text data of no
// bytes that it completes, a Windows 3.1 file) is refused either way.
//
// An 8-bit file's text is read in `codePage`; kRegFileChooseCodePage takes
// the machine's ANSI code page on Windows, and natively UTF-8 when the
// file's bytes are UTF-8, Windows-1252 otherwise (which reads every byte),
// no code page at all for a file of ASCII text. Text that does not read in
// the code page is refused (RegFileCodePageError, with its line). The
// registry receives the text in the program's own code page.
RegFileEncoding ReadRegText(const std::vector<std::uint8_t>& bytes, IRegistry& registry,
                            std::uint32_t codePage = kRegFileChooseCodePage,
                            std::vector<RegFileSkippedLine>* skipped = nullptr);
RegFileEncoding ReadRegFile(const std::string& path, IRegistry& registry,
                            std::uint32_t codePage = kRegFileChooseCodePage,
                            std::uint64_t sizeLimit = kRegFileSizeLimit,
                            std::vector<RegFileSkippedLine>* skipped = nullptr);
// The same, applied to the registry line by line as the file is read, with
// nothing kept but the file's text (for a registry filled from the file
// alone): a file refused part way leaves what was read before the refused
// line applied.
RegFileEncoding StreamRegFile(const std::string& path, IRegistry& registry,
                              std::uint32_t codePage = kRegFileChooseCodePage,
                              std::vector<RegFileSkippedLine>* skipped = nullptr,
                              std::uint64_t sizeLimit = kRegFileSizeLimit);
// The same, choosing the code page; the file's format.
RegFileFormat LoadRegFile(const std::string& path, IRegistry& registry,
                          std::uint64_t sizeLimit = kRegFileSizeLimit);
RegFileFormat LoadRegText(const std::vector<std::uint8_t>& bytes, IRegistry& registry);

// Writes every key under the five roots (a root itself only when it holds
// values) with its values. Throws std::runtime_error when the file cannot be
// written; the file is replaced atomically once it has been written whole and
// flushed to the disk (platform/whole_file.h).
//
// Names and data are escaped as the registry editor escapes them (\\, \",
// \r and \n in quoted names; text holding line breaks or zero bytes goes as
// hex), so that reading the file gives the same registry. A key name holding
// a line break cannot be written in the format: std::runtime_error.
void WriteRegFile(const std::string& path, IRegistry& registry, const RegFileEncoding& encoding);
std::vector<std::uint8_t> WriteRegText(IRegistry& registry, const RegFileEncoding& encoding);
// The same with no code page settled (RegFileEncoding::codePage 0).
void SaveRegFile(const std::string& path, IRegistry& registry, RegFileFormat format);
std::vector<std::uint8_t> SaveRegText(IRegistry& registry, RegFileFormat format);
// The same for one root and everything under it, as "regedit /e FILE ROOT" does.
std::vector<std::uint8_t> SaveRegTextOf(IRegistry& registry, RegKey root, RegFileFormat format);

}  // namespace qm
