// Reader for Windows profile ("INI") text, with the rules of the system's
// profile-string reader (GetPrivateProfileStringA) that the skin relies on:
//
//  - "[name]" starts a section; "key=value" lines belong to the section above.
//  - Section and key names are matched without regard to (ASCII) case.
//  - Spaces and tabs around a section name, a key and a value are ignored; a
//    value enclosed in a matching pair of double or single quotes loses them.
//  - A line whose first non-blank character is ";" is a comment; a line
//    without "=" is a key with an empty value.
//  - When a section name or a key occurs more than once, the first occurrence
//    wins; the key list of a section still reports every key line, in order.
//  - Reads go through a caller-sized buffer: a value is cut to (size - 1)
//    bytes, and a key list stops at the last name that fits completely.
//
// Portable: the text comes from a memory buffer or a file; nothing is written.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace qm {

class ProfileReader {
public:
    // Buffer sizes used by the skin readers.
    static constexpr std::size_t kValueBufferSize = 2048;
    static constexpr std::size_t kKeyListBufferSize = 16384;

    ProfileReader() = default;
    explicit ProfileReader(const std::string& text) { Parse(text); }

    // Replaces the content with `text` (CRLF or LF line ends).
    void Parse(const std::string& text);
    // Replaces the content with the file's text; false (and no content) if the
    // file cannot be read.
    bool ParseFile(const std::string& path);
    // Forgets all content.
    void Clear() { sections_.clear(); }

    bool HasSection(const std::string& section) const;
    // The section names in file order (a repeated name is listed each time).
    std::vector<std::string> GetSectionNames() const;

    // The value of `key` in `section`, or `fallback` (with trailing blanks
    // removed, as the system reader does) when the section or key is missing.
    // The result is cut to bufferSize - 1 bytes.
    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& fallback = std::string(),
                          std::size_t bufferSize = kValueBufferSize) const;

    // Every key name of `section` in file order, as far as the names with
    // their terminating zeros and the final zero fit in bufferSize bytes.
    // Empty when the section is missing.
    std::vector<std::string> GetKeyNames(const std::string& section,
                                         std::size_t bufferSize = kKeyListBufferSize) const;

private:
    struct Entry {
        std::string key;
        std::string value;
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
    };
    const Section* FindSection(const std::string& name) const;

    std::vector<Section> sections_;
};

// Case-insensitive (ASCII) equality, as profile names are compared.
bool ProfileNamesEqual(const std::string& a, const std::string& b);

}  // namespace qm
