#include "ui/profile_reader.h"

#include <cctype>
#include <fstream>
#include <sstream>

namespace qm {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trim(const std::string& s) {
    std::size_t begin = 0;
    std::size_t end = s.size();
    while (begin < end && IsBlank(s[begin])) ++begin;
    while (end > begin && IsBlank(s[end - 1])) --end;
    return s.substr(begin, end - begin);
}

std::string TrimRight(const std::string& s) {
    std::size_t end = s.size();
    while (end > 0 && IsBlank(s[end - 1])) --end;
    return s.substr(0, end);
}

std::string Unquote(const std::string& s) {
    if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front()) {
        return s.substr(1, s.size() - 2);
    }
    return s;
}

std::string Cut(const std::string& s, std::size_t bufferSize) {
    if (bufferSize == 0) return std::string();
    return s.size() < bufferSize ? s : s.substr(0, bufferSize - 1);
}

}  // namespace

bool ProfileNamesEqual(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

void ProfileReader::Parse(const std::string& text) {
    sections_.clear();
    Section* current = nullptr;  // lines before the first header belong to no section
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t eol = text.find('\n', pos);
        if (eol == std::string::npos) eol = text.size();
        std::string line = text.substr(pos, eol - pos);
        pos = eol + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        line = Trim(line);
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            std::size_t close = line.find(']');
            std::string name = Trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            sections_.push_back(Section{name, {}});
            current = &sections_.back();
            continue;
        }
        if (current == nullptr) continue;
        std::size_t eq = line.find('=');
        if (eq == std::string::npos) {
            current->entries.push_back(Entry{line, std::string()});
        } else {
            current->entries.push_back(Entry{Trim(line.substr(0, eq)), Unquote(Trim(line.substr(eq + 1)))});
        }
    }
}

bool ProfileReader::ParseFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        Clear();
        return false;
    }
    std::ostringstream content;
    content << in.rdbuf();
    Parse(content.str());
    return true;
}

const ProfileReader::Section* ProfileReader::FindSection(const std::string& name) const {
    const std::string wanted = Trim(name);
    for (const Section& section : sections_) {
        if (ProfileNamesEqual(section.name, wanted)) return &section;
    }
    return nullptr;
}

bool ProfileReader::HasSection(const std::string& section) const {
    return FindSection(section) != nullptr;
}

std::vector<std::string> ProfileReader::GetSectionNames() const {
    std::vector<std::string> names;
    for (const Section& section : sections_) names.push_back(section.name);
    return names;
}

std::string ProfileReader::GetString(const std::string& section, const std::string& key,
                                     const std::string& fallback, std::size_t bufferSize) const {
    if (const Section* s = FindSection(section)) {
        const std::string wanted = Trim(key);
        for (const Entry& entry : s->entries) {
            if (ProfileNamesEqual(entry.key, wanted)) return Cut(entry.value, bufferSize);
        }
    }
    return Cut(TrimRight(fallback), bufferSize);
}

std::vector<std::string> ProfileReader::GetKeyNames(const std::string& section,
                                                    std::size_t bufferSize) const {
    std::vector<std::string> names;
    const Section* s = FindSection(section);
    if (s == nullptr) return names;
    std::size_t used = 1;  // the list's final zero
    for (const Entry& entry : s->entries) {
        if (used + entry.key.size() + 1 > bufferSize) break;
        used += entry.key.size() + 1;
        names.push_back(entry.key);
    }
    return names;
}

}  // namespace qm
