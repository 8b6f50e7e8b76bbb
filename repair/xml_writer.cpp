#include "repair/xml_writer.h"

#include "platform/codepage.h"

namespace qm {
namespace {

constexpr const char* kLineEnd = "\r\n";
// Names tried after the given one is taken: "<stem>-2<ext>" up to this counter.
constexpr int kMaxNameCounter = 9999;

std::string NameWithCounter(const std::string& name, int counter) {
    const std::string suffix = "-" + std::to_string(counter);
    // The counter goes before the extension of the last path component.
    const auto slash = name.find_last_of("\\/");
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return name + suffix;
    return name.substr(0, dot) + suffix + name.substr(dot);
}

}  // namespace

// ------------------------------------------------------------------ CXmlWriter

int CXmlWriter::SetFileName(const std::string& name) {
    if (!open_) {
        fileName_ = name;
        openFailed_ = false;
        writeFailed_ = false;
        createdName_.clear();
    }
    return 1;
}

bool CXmlWriter::Open() {
    if (openFailed_ || fileName_.empty()) return false;
    for (int counter = 1; counter <= kMaxNameCounter; ++counter) {
        const std::string name = counter == 1 ? fileName_ : NameWithCounter(fileName_, counter);
        switch (file_.CreateNew(name)) {
            case UnbufferedFile::OpenResult::Opened:
                open_ = true;
                declarationWritten_ = false;
                createdName_ = name;
                return true;
            case UnbufferedFile::OpenResult::Exists:
                continue;
            case UnbufferedFile::OpenResult::Failed:
                break;
        }
        break;
    }
    openFailed_ = true;
    return false;
}

int CXmlWriter::Write(const std::string& text) {
    if (!open_ && !Open()) {
        writeFailed_ = true;
        return 0;
    }
    if (!declarationWritten_) {
        declarationWritten_ = true;
        const std::int32_t saved = indent_;
        indent_ = 0;
        CXmlElement declaration("xml");
        declaration.SetAttribute("version", "1.0");
        declaration.SetAttribute("encoding", "UTF-8");
        declaration.WriteDeclaration(*this, 0);
        indent_ = saved;
    }
    if (!file_.Write(text.data(), text.size())) {
        writeFailed_ = true;
        return 0;
    }
    return 1;
}

int CXmlWriter::Close() {
    file_.Close();
    open_ = false;
    declarationWritten_ = false;
    openFailed_ = false;
    indent_ = 0;
    return 1;
}

// ------------------------------------------------------------------ CXmlElement

void CXmlElement::SetAttribute(const std::string& name, const std::string& value) {
    for (std::size_t i = 0; i < attrNames_.size(); ++i) {
        if (attrNames_[i] == name) {
            attrValues_[i] = value;
            return;
        }
    }
    attrNames_.push_back(name);
    attrValues_.push_back(value);
}

std::string CXmlElement::Attributes() const {
    std::string out;
    for (std::size_t i = 0; i < attrNames_.size(); ++i) {
        out += ' ';
        out += attrNames_[i];
        out += "=\"";
        out += attrValues_[i];
        out += '"';
    }
    return out;
}

std::string CXmlElement::Indentation(std::int32_t level, bool indent) {
    if (!indent || level <= 0) return {};
    return std::string(static_cast<std::size_t>(level), ' ');
}

// Each element goes to the writer in one piece, so it reaches the file whole.
// The level changes only once the text is built, so a failure to build it
// leaves the level as it was.
std::string CXmlElement::TagText(std::int32_t level, bool indent, const char* close,
                                 bool lineEnd) const {
    std::string text = Indentation(level, indent);
    text += '<';
    text += name_;
    text += Attributes();
    text += close;
    if (lineEnd) text += kLineEnd;
    return text;
}

int CXmlElement::WriteStartTag(CXmlWriter& writer, std::int32_t step, bool indent,
                               bool lineEnd) const {
    const std::string text = TagText(writer.IndentLevel() + step, indent, ">", lineEnd);
    writer.AddIndent(step);
    return writer.Write(text);
}

int CXmlElement::WriteEmptyElement(CXmlWriter& writer, std::int32_t step, bool indent,
                                   bool lineEnd) const {
    return writer.Write(TagText(writer.IndentLevel() + step, indent, "/>", lineEnd));
}

int CXmlElement::WriteEndTag(const std::string& name, CXmlWriter& writer, std::int32_t step,
                             bool indent, bool lineEnd) {
    std::string text = Indentation(writer.IndentLevel(), indent);
    text += "</";
    text += name;
    text += '>';
    if (lineEnd) text += kLineEnd;
    const int result = writer.Write(text);
    writer.AddIndent(step);
    return result;
}

int CXmlElement::WriteDeclaration(CXmlWriter& writer, std::int32_t step) const {
    std::string text = Indentation(writer.IndentLevel() + step, true);
    text += "<?";
    text += name_;
    text += Attributes();
    text += "?>";
    text += kLineEnd;
    writer.AddIndent(step);
    return writer.Write(text);
}

// ------------------------------------------------------------------ text

std::string GetEscapedXmlString(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '"': out += "&quot;"; break;
            case '<': out += "&lt;"; break;
            default: out += c; break;
        }
    }
    return out;
}

std::string UTF8Conversion(const std::string& text) {
    if (text.empty()) return {};
    return AnsiToUtf8(text);
}

}  // namespace qm
