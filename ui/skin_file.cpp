#include "ui/skin_file.h"

#include <cctype>
#include <cstdlib>

namespace qm {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

void TrimInPlace(std::string& s) {
    std::size_t begin = 0;
    std::size_t end = s.size();
    while (begin < end && IsSpace(s[begin])) ++begin;
    while (end > begin && IsSpace(s[end - 1])) --end;
    s = s.substr(begin, end - begin);
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Splits an absolute path into its root (with trailing separator) and the rest.
void SplitRoot(const std::string& path, char separator, std::string& root, std::string& rest) {
    if (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == ':') {
        root = path.substr(0, 2) + separator;
        rest = path.substr(2);
        return;
    }
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        // \\server\share\...
        std::size_t pos = 2;
        std::string server;
        std::string share;
        while (pos < path.size() && !IsSeparator(path[pos])) server += path[pos++];
        while (pos < path.size() && IsSeparator(path[pos])) ++pos;
        while (pos < path.size() && !IsSeparator(path[pos])) share += path[pos++];
        root = std::string(2, separator) + server + separator + share + separator;
        rest = path.substr(pos);
        return;
    }
    root = std::string(1, separator);
    rest = path;
}

bool IsAbsolute(const std::string& path) {
    if (path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == ':' && IsSeparator(path[2])) return true;
    return !path.empty() && IsSeparator(path[0]);
}

}  // namespace

std::string NextField(std::string& rest) {
    std::size_t comma = rest.find(',');
    if (comma == std::string::npos) return rest;
    std::string field = rest.substr(0, comma);
    rest.erase(0, comma + 1);
    TrimInPlace(rest);
    return field;
}

SkinRect ParseRect(std::string& rest) {
    SkinRect r;
    r.left = FieldToInt(NextField(rest));
    r.top = FieldToInt(NextField(rest));
    const int w = FieldToInt(NextField(rest));
    const int h = FieldToInt(NextField(rest));
    r.right = r.left + w;
    r.bottom = r.top + h;
    return r;
}

bool FieldIsTrue(const std::string& field) { return !field.empty() && field[0] == 'T'; }

int FieldToInt(const std::string& field) { return std::atoi(field.c_str()); }

std::uint32_t FieldToColour(const std::string& field) {
    return static_cast<std::uint32_t>(std::atol(field.c_str()));
}

SkinButtonLine ParseButtonLine(std::string value) {
    SkinButtonLine line;
    line.name = NextField(value);
    line.rect = ParseRect(value);
    const std::size_t comma = value.find(',');
    line.checkBox = FieldIsTrue(value.substr(0, comma));
    if (comma != std::string::npos) {
        line.wording = value.substr(comma + 1);
        TrimInPlace(line.wording);
    }
    return line;
}

std::string ReadableControlName(const std::string& name) {
    const std::size_t kind = name.find('_');
    std::string words = kind != std::string::npos && kind + 1 < name.size() ? name.substr(kind + 1) : name;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(words[i]);
        if (words[i] == '_')
            words[i] = ' ';
        else
            words[i] = static_cast<char>(i == 0 ? std::toupper(c) : std::tolower(c));
    }
    return words;
}

SkinTextLine ParseTextLine(std::string value) {
    SkinTextLine line;
    line.name = NextField(value);
    line.face = NextField(value);
    line.bold = FieldIsTrue(NextField(value));
    line.italicField = NextField(value);
    line.height = FieldToInt(NextField(value));
    line.colour = FieldToColour(NextField(value));
    line.rect = ParseRect(value);
    const bool wordingFollows = value.find(',') != std::string::npos;
    line.text = NextField(value);
    if (wordingFollows) {
        line.wording = value;
        TrimInPlace(line.wording);
    }
    return line;
}

SkinPanelLine ParsePanelLine(std::string value) {
    SkinPanelLine line;
    line.name = NextField(value);
    for (std::string& image : line.images) image = NextField(value);
    // The rectangle's four fields, then the wording when a comma follows them.
    std::size_t at = 0;
    for (int field = 0; field < 4 && at != std::string::npos; ++field) {
        at = value.find(',', at);
        if (at != std::string::npos) ++at;
    }
    if (at != std::string::npos) {
        line.wording = value.substr(at);
        TrimInPlace(line.wording);
    }
    line.rect = ParseRect(value);
    return line;
}

SkinListLine ParseListLine(std::string value) {
    SkinListLine line;
    line.rect = ParseRect(value);
    const int count = FieldToInt(NextField(value));
    bool wordingFollows = false;
    for (int i = 0; i < count; ++i) {
        SkinListColumn column;
        column.title = NextField(value);
        wordingFollows = value.find(',') != std::string::npos;
        column.width = FieldToInt(NextField(value));
        line.columns.push_back(column);
    }
    if (wordingFollows) {
        line.wording = value;
        TrimInPlace(line.wording);
    }
    return line;
}

std::string SkinDirectoryIn(const std::string& cwd, const std::string& name, char separator) {
    std::string full;
    if (name.size() >= 3 && IsDriveLetter(name[0]) && name[1] == ':' && IsSeparator(name[2])) {
        full = name;
    } else if (name.size() >= 2 && IsSeparator(name[0]) && IsSeparator(name[1])) {
        full = name;
    } else if (!name.empty() && IsSeparator(name[0])) {
        // Rooted: on Windows it keeps the drive (or share) of the current directory.
        std::string root;
        std::string rest;
        if (IsAbsolute(cwd)) SplitRoot(cwd, separator, root, rest);
        full = root.empty() ? name : root.substr(0, root.size() - 1) + name;
    } else {
        full = cwd + separator + name;
    }

    std::string root;
    std::string rest;
    SplitRoot(full, separator, root, rest);

    std::vector<std::string> parts;
    std::string part;
    const bool endsWithSeparator = !rest.empty() && IsSeparator(rest.back());
    for (std::size_t i = 0; i <= rest.size(); ++i) {
        if (i == rest.size() || IsSeparator(rest[i])) {
            if (part == "..") {
                if (!parts.empty()) parts.pop_back();
            } else if (!part.empty() && part != ".") {
                parts.push_back(part);
            }
            part.clear();
        } else {
            part += rest[i];
        }
    }
    // The last component is the file's own name unless the name ended with a separator.
    if (!endsWithSeparator && !parts.empty()) parts.pop_back();

    std::string dir = root;
    for (const std::string& p : parts) dir += p + separator;
    return dir;
}

std::string SkinDirectory(const std::string& name) {
    return SkinDirectoryIn(CurrentDirectory(), name, kPathSeparator);
}

void SkinFile::SetSkinFile(const std::string& name) { name_ = name; }

std::string SkinFile::SkinPath() const {
    std::size_t slash = name_.find_last_of("\\/");
    std::string last = slash == std::string::npos ? name_ : name_.substr(slash + 1);
    return SkinDirectory(name_) + last;
}

void SkinFile::UseSkinText(const std::string& text) {
    profile_.Parse(text);
    loaded_ = true;
}

bool SkinFile::LoadSkinFile() {
    loaded_ = profile_.ParseFile(SkinPath());
    return loaded_;
}

std::string SkinFile::ReadSkinValue(const std::string& section, const std::string& key,
                                    const std::string& fallback) const {
    return profile_.GetString(section, key, fallback, ProfileReader::kValueBufferSize);
}

bool SkinFile::ReadSkinKeys(const std::string& section, std::vector<std::string>& keys) const {
    keys = profile_.GetKeyNames(section, ProfileReader::kKeyListBufferSize);
    return !keys.empty();
}

std::vector<SkinEntry> SkinFile::ReadNumberedSection(const std::string& section) const {
    std::vector<SkinEntry> entries;
    std::vector<std::string> keys;
    ReadSkinKeys(section, keys);
    const int count = static_cast<int>(keys.size());
    for (int i = 1; i <= count; ++i) {
        std::string value = ReadSkinValue(section, std::to_string(i));
        if (!value.empty()) entries.push_back(SkinEntry{i, value});
    }
    return entries;
}

std::string SkinFile::ImagePath(const std::string& imageName) const {
    return SkinDirectory(SkinPath()) + imageName;
}

}  // namespace qm
