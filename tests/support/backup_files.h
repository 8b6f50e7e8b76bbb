// Files in tests, and backups read two ways: a strict little parser of the XML
// backup (so a test can check what a backup holds and that it is
// well-formed), and the list of events the program's own reader makes of a
// file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "repair/xml_reader.h"

namespace qm::test {

inline std::string ReadFileBytes(const std::string& path) {
    std::string out;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return out;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    std::fclose(f);
    return out;
}

inline bool FileExists(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return false;
    std::fclose(f);
    return true;
}

inline void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

struct XmlNode {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attrs;  // in file order, unescaped
    std::vector<XmlNode> children;

    std::string Attr(const std::string& n) const {
        for (const auto& a : attrs)
            if (a.first == n) return a.second;
        return {};
    }
    bool HasAttr(const std::string& n) const {
        for (const auto& a : attrs)
            if (a.first == n) return true;
        return false;
    }
};

struct ParsedBackup {
    bool wellFormed = false;  // declaration first, every tag closed, one root
    bool complete = false;    // the root element "registry" was closed
    std::string error;
    XmlNode root;             // the "registry" element (as far as it got)
};

inline std::string Unescape(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size();) {
        if (s.compare(i, 5, "&amp;") == 0) { out += '&'; i += 5; }
        else if (s.compare(i, 6, "&quot;") == 0) { out += '"'; i += 6; }
        else if (s.compare(i, 4, "&lt;") == 0) { out += '<'; i += 4; }
        else out += s[i++];
    }
    return out;
}

// Parses the writer's output. Text between tags must be white space only.
// A file that breaks off (a killed repair) parses as far as it goes:
// `complete` is false and `root` holds every element read so far.
inline ParsedBackup ParseBackup(const std::string& text) {
    ParsedBackup out;
    const std::string decl = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
    if (text.compare(0, decl.size(), decl) != 0) {
        out.error = "no declaration";
        return out;
    }
    std::vector<XmlNode> stack;
    std::size_t i = decl.size();
    bool rootSeen = false;
    auto fail = [&](const std::string& why) {
        out.error = why + " at byte " + std::to_string(i);
        while (stack.size() > 1) {
            XmlNode n = std::move(stack.back());
            stack.pop_back();
            stack.back().children.push_back(std::move(n));
        }
        if (!stack.empty()) out.root = std::move(stack.back());
        return out;
    };
    while (i < text.size()) {
        const char c = text[i];
        if (c == ' ' || c == '\r' || c == '\n') { ++i; continue; }
        if (c != '<') return fail("text outside tags");
        const std::size_t close = text.find('>', i);
        if (close == std::string::npos) return fail("unterminated tag");
        if (text[i + 1] == '/') {
            const std::string name = text.substr(i + 2, close - i - 2);
            if (stack.empty() || stack.back().name != name) return fail("mismatched end tag " + name);
            XmlNode n = std::move(stack.back());
            stack.pop_back();
            i = close + 1;
            if (stack.empty()) {
                out.root = std::move(n);
                out.complete = true;
                // Only line ends may follow.
                for (; i < text.size(); ++i)
                    if (text[i] != '\r' && text[i] != '\n') return fail("content after root");
                out.wellFormed = true;
                return out;
            }
            stack.back().children.push_back(std::move(n));
            continue;
        }
        // Start tag or empty element; attribute values never hold '"' or '<',
        // but may hold '>' and line breaks.
        std::size_t p = i + 1;
        XmlNode node;
        while (p < text.size() && text[p] != ' ' && text[p] != '>' && text[p] != '/')
            node.name += text[p++];
        bool empty = false;
        for (;;) {
            if (p >= text.size()) return fail("unterminated tag");
            if (text[p] == ' ') { ++p; continue; }
            if (text[p] == '>') { ++p; break; }
            if (text[p] == '/' && p + 1 < text.size() && text[p + 1] == '>') { empty = true; p += 2; break; }
            const std::size_t eq = text.find("=\"", p);
            if (eq == std::string::npos) return fail("bad attribute");
            const std::size_t endq = text.find('"', eq + 2);
            if (endq == std::string::npos) return fail("unterminated attribute");
            const std::string value = text.substr(eq + 2, endq - eq - 2);
            if (value.find('<') != std::string::npos) return fail("'<' in attribute");
            node.attrs.emplace_back(text.substr(p, eq - p), Unescape(value));
            p = endq + 1;
        }
        i = p;
        if (stack.empty()) {
            if (rootSeen || node.name != "registry" || empty) return fail("bad root");
            rootSeen = true;
        }
        if (empty) {
            if (stack.empty()) return fail("empty root");
            stack.back().children.push_back(std::move(node));
        } else {
            stack.push_back(std::move(node));
        }
    }
    return fail("file ends inside an element");
}

// Every entry a backup holds, one line each: for a value
// "KEYPATH|name=value|type", for a key written as an empty element "KEYPATH|".
// Keys are spelled from the root down with "\\"; entries appear as often as
// the file holds them.
inline void CollectEntries(const XmlNode& node, const std::string& path,
                           std::vector<std::string>& out) {
    for (const XmlNode& child : node.children) {
        if (child.name == "v") {
            out.push_back(path + "|" + child.Attr("name") + "=" + child.Attr("value") + "|" +
                          (child.HasAttr("type") ? child.Attr("type") : std::string("-")));
        } else if (child.name == "k") {
            const std::string sub = path.empty() ? child.Attr("name") : path + "\\" + child.Attr("name");
            if (child.children.empty()) out.push_back(sub + "|");
            CollectEntries(child, sub, out);
        }
    }
}

inline std::vector<std::string> BackupEntries(const std::string& fileBytes) {
    std::vector<std::string> out;
    CollectEntries(ParseBackup(fileBytes).root, "", out);
    return out;
}

inline std::size_t CountOf(const std::vector<std::string>& entries, const std::string& entry) {
    std::size_t n = 0;
    for (const auto& e : entries) n += (e == entry);
    return n;
}

// One reader event as text: "1:name", "2:name", "3:name=value", "4:text",
// "5:directive", "6", "7", "0".
inline std::string DescribeEvent(const CXmlReader& r) {
    switch (r.GetKind()) {
        case kXmlStartTag: return "1:" + r.GetTagName();
        case kXmlEndTag: return "2:" + r.GetTagName();
        case kXmlAttribute: return "3:" + r.GetAttributeName() + "=" + r.GetAttributeValue();
        case kXmlText: return "4:" + r.GetText();
        case kXmlDirective: return "5:" + r.GetDirectiveName();
        default: return std::to_string(r.GetKind());
    }
}

struct ReadResult {
    std::vector<std::string> events;  // without kind-0 events unless asked for
    std::vector<int> lines;           // the line of each event
    std::string error;                // the reader's error text at the end
};

inline ReadResult ReadEvents(const std::string& path, bool withNone = false) {
    ReadResult out;
    CXmlReader reader;
    reader.SetFileName(path);
    int guard = 0;
    while (reader.ReadNext() == 1 && ++guard < 100000) {
        if (!withNone && reader.GetKind() == kXmlNone) continue;
        out.events.push_back(DescribeEvent(reader));
        out.lines.push_back(reader.GetLineNumber());
    }
    out.error = reader.GetErrorText();
    reader.Close();
    return out;
}

inline ReadResult ReadEventsOf(const std::string& content, bool withNone = false) {
    const std::string path = "reader_input.xml";
    WriteFileBytes(path, content);
    return ReadEvents(path, withNone);
}

}  // namespace qm::test
