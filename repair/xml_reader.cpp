#include "repair/xml_reader.h"

#include <cstdint>
#include <cstring>

#include "repair/restore_ui.h"

namespace qm {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

constexpr const char kByteOrderMark[] = "\xEF\xBB\xBF";

// How much of the file one read takes.
constexpr std::size_t kBlockSize = 64u * 1024u;

}  // namespace

int CXmlReader::SetFileName(const std::string& name) {
    if (!open_) fileName_ = name;
    return 1;
}

int CXmlReader::Close() {
    file_.reset();
    open_ = false;
    showErrors_ = false;
    return 1;
}

bool CXmlReader::FillBlock() {
    blockPos_ = blockEnd_ = 0;
    std::FILE* f = file_.get();
    if (f == nullptr || blockFailed_) return false;
    if (block_.empty()) block_.resize(kBlockSize);
    blockEnd_ = std::fread(block_.data(), 1, block_.size(), f);
    if (blockEnd_ == 0 && std::ferror(f)) blockFailed_ = true;
    return blockEnd_ > 0;
}

CXmlReader::LineRead CXmlReader::ReadLine() {
    line_.clear();
    lineEnd_.clear();
    if (!file_) return LineRead::Failed;
    bool any = false;
    for (;;) {
        if (blockPos_ == blockEnd_ && !FillBlock()) {
            if (blockFailed_) return LineRead::Failed;
            return any ? LineRead::Line : LineRead::End;
        }
        any = true;
        const char* start = block_.data() + blockPos_;
        const std::size_t available = blockEnd_ - blockPos_;
        const auto* newline = static_cast<const char*>(std::memchr(start, '\n', available));
        const std::size_t length = newline ? static_cast<std::size_t>(newline - start) : available;
        if (line_.size() + length > kMaxXmlLineLength) {
            blockPos_ += kMaxXmlLineLength - line_.size();
            return LineRead::TooLong;
        }
        line_.append(start, length);
        blockPos_ += length;
        if (newline != nullptr) {
            ++blockPos_;
            // A CR LF pair ends the line as one line end; a CR elsewhere is
            // part of the line.
            if (!line_.empty() && line_.back() == '\r') {
                line_.pop_back();
                lineEnd_ = "\r\n";
            } else {
                lineEnd_ = "\n";
            }
            return LineRead::Line;
        }
    }
}

bool CXmlReader::Open() {
    file_.reset(std::fopen(fileName_.c_str(), "rb"));
    if (!file_) return false;
    // Read in blocks of its own: no second buffer in the stream.
    std::setvbuf(file_.get(), nullptr, _IONBF, 0);
    open_ = true;
    blockPos_ = blockEnd_ = 0;
    blockFailed_ = false;
    position_ = -1;
    lineNumber_ = 0;
    inComment_ = inCData_ = inTag_ = inAttrValue_ = inText_ = false;
    readFailed_ = false;
    errorText_.clear();
    scanError_.clear();
    tagName_.clear();
    text_.clear();
    attrName_.clear();
    attrValue_.clear();
    directiveName_.clear();
    valueBuffer_.clear();
    kind_ = kXmlNone;
    return true;
}

int CXmlReader::ReadNext() {
    if (!open_ && !Open()) return 0;
    if (position_ == -1) {
        const LineRead read = ReadLine();
        if (read == LineRead::End) return 0;
        ++lineNumber_;
        if (read == LineRead::Failed) {
            readFailed_ = true;
            scanError_ = "the file cannot be read";
            errorText_ = "Cannot read line " + std::to_string(lineNumber_);
            return 0;
        }
        position_ = 0;
        if (read == LineRead::TooLong) {
            scanError_ = "line longer than " + std::to_string(kMaxXmlLineLength) + " bytes";
        } else {
            // A byte-order mark may open the file.
            if (lineNumber_ == 1 && line_.compare(0, 3, kByteOrderMark) == 0) position_ = 3;
            if (ScanLine()) return 1;
        }
    } else if (ScanLine()) {
        return 1;
    }

    errorText_ = "Parse error in line " + std::to_string(lineNumber_) + " : (" + scanError_ + ")";
    if (showErrors_ && ui_ != nullptr) ui_->ShowMessage(errorText_);
    return 0;
}

bool CXmlReader::Fail(std::string reason) {
    scanError_ = std::move(reason);
    return false;
}

// The scanner is a state machine over the current line: ScanLine works out
// the state the previous steps left (the in... flags), and that state's own
// step reads from position_ on, sets the event, the state for the next step
// and the position it starts at (-1: the next line).

CXmlReader::ScanState CXmlReader::CurrentState() const {
    if (inComment_ || inCData_) return ScanState::CommentOrCData;
    if (inAttrValue_) return valueBuffer_.empty() ? ScanState::ValueOpener : ScanState::Value;
    if (inText_) return ScanState::Text;
    return ScanState::Markup;
}

bool CXmlReader::ScanLine() {
    kind_ = kXmlNone;
    std::int32_t pos = position_;
    // Blanks between the parts of a tag (and inside a comment or CDATA
    // section, which are tags here) are passed over.
    if (inTag_ && !inAttrValue_) pos = SkipBlanks(pos);
    if (pos >= LineLength()) return ScanLineEnd();
    switch (CurrentState()) {
        case ScanState::CommentOrCData: return ScanCommentOrCData(pos);
        case ScanState::ValueOpener: return ScanValueOpener(pos);
        case ScanState::Value: return ScanValue(pos);
        case ScanState::Text: return ScanText(pos);
        case ScanState::Markup: break;
    }
    return ScanMarkup(pos);
}

std::int32_t CXmlReader::LineLength() const { return static_cast<std::int32_t>(line_.size()); }

std::int32_t CXmlReader::SkipBlanks(std::int32_t pos) const {
    while (pos < LineLength() && IsBlank(line_[pos])) ++pos;
    return pos;
}

bool CXmlReader::StartsAt(std::int32_t pos, const char* text) const {
    return line_.compare(static_cast<std::size_t>(pos), std::strlen(text), text) == 0;
}

bool CXmlReader::MoveTo(std::int32_t pos) {
    position_ = pos;
    return true;
}

bool CXmlReader::ScanLineEnd() {
    // An attribute value that goes on past this line keeps the line end
    // (also after an opening quote that ends a line, and for empty lines).
    if (inAttrValue_ && !valueBuffer_.empty()) valueBuffer_ += lineEnd_;
    return MoveTo(-1);
}

bool CXmlReader::ScanCommentOrCData(std::int32_t pos) {
    const char* closer = inComment_ ? "-->" : "]]>";
    const std::size_t found = line_.find(closer, static_cast<std::size_t>(pos));
    if (found == std::string::npos) {
        kind_ = inComment_ ? kXmlComment : kXmlCData;
        return MoveTo(LineLength());
    }
    inComment_ = inCData_ = inTag_ = inAttrValue_ = false;
    inText_ = true;
    text_.clear();
    return MoveTo(static_cast<std::int32_t>(found) + 3);
}

bool CXmlReader::ScanValueOpener(std::int32_t pos) {
    pos = SkipBlanks(pos);
    if (pos >= LineLength()) return MoveTo(-1);  // the value starts on a later line
    // The character that opens the value (normally a quote) is kept as the
    // buffer's first.
    valueBuffer_.push_back(line_[pos]);
    return MoveTo(pos + 1);
}

bool CXmlReader::ScanValue(std::int32_t pos) {
    const char opener = valueBuffer_[0];
    const bool quoted = opener == '"' || opener == '\'';
    const auto from = static_cast<std::size_t>(pos);
    const std::size_t stop = quoted ? line_.find(opener, from) : line_.find_first_of("\"'>", from);
    if (stop == std::string::npos) {
        // The value goes on in the next line (the line end is added by the
        // next step).
        if (valueBuffer_.size() + line_.size() > kMaxXmlLineLength)
            return Fail("attribute value longer than " + std::to_string(kMaxXmlLineLength) + " bytes");
        valueBuffer_.append(line_, from, std::string::npos);
        return MoveTo(LineLength());
    }
    valueBuffer_.append(line_, from, stop - from);
    attrValue_.assign(valueBuffer_, quoted ? 1 : 0, std::string::npos);
    valueBuffer_.clear();
    inAttrValue_ = false;
    kind_ = kXmlAttribute;
    // A closing quote is used up; ">" ends the tag in the next step.
    return MoveTo(static_cast<std::int32_t>(stop) + (line_[stop] != '>' ? 1 : 0));
}

bool CXmlReader::ScanText(std::int32_t pos) {
    std::size_t stop = line_.find('<', static_cast<std::size_t>(pos));
    if (stop == std::string::npos) {
        stop = line_.size();
    } else {
        inText_ = false;
    }
    text_.assign(line_, static_cast<std::size_t>(pos), stop - static_cast<std::size_t>(pos));
    kind_ = text_.empty() ? kXmlNone : kXmlText;
    return MoveTo(static_cast<std::int32_t>(stop));
}

bool CXmlReader::ScanMarkup(std::int32_t pos) {
    switch (line_[pos]) {
        case '<': return ScanTagOpener(pos + 1);
        case '?': return MoveTo(pos + 1);
        case '/': return ScanEmptyElementEnd(pos + 1);
        case '>': return ScanTagCloser(pos + 1);
        default: break;
    }
    if (!inTag_) return Fail("Syntax error");
    if (line_[pos] == '=') return ScanValueStart(pos + 1);
    return ScanAttributeName(pos);
}

bool CXmlReader::ScanTagOpener(std::int32_t pos) {
    if (inTag_) return Fail("Bad '<' symbol");
    inTag_ = true;
    inComment_ = inCData_ = inText_ = inAttrValue_ = false;
    valueBuffer_.clear();
    pos = SkipBlanks(pos);
    if (pos >= LineLength()) return Fail("'<' symbol not allowed at the end of a line");
    if (StartsAt(pos, "!--")) {
        kind_ = kXmlComment;
        inComment_ = true;
        return MoveTo(pos + 3);
    }
    if (StartsAt(pos, "![CDATA[")) {
        kind_ = kXmlCData;
        inCData_ = true;
        return MoveTo(pos + 8);
    }
    return ScanTagName(pos);
}

bool CXmlReader::ScanTagName(std::int32_t pos) {
    std::int32_t end = pos;
    while (end < LineLength()) {
        const char d = line_[end];
        if (IsBlank(d) || d == '>' || (d == '/' && end != pos)) break;
        ++end;
    }
    if (end == pos) return Fail("Empty element name");
    const auto from = static_cast<std::size_t>(pos);
    const auto count = static_cast<std::size_t>(end - pos);
    const char first = line_[from];
    if (first == '!' || first == '?') {
        kind_ = kXmlDirective;
        directiveName_.assign(line_, from, count);
        tagName_.clear();
    } else if (first == '/') {
        kind_ = kXmlEndTag;
        tagName_.assign(line_, from + 1, count - 1);
    } else {
        kind_ = kXmlStartTag;
        tagName_.assign(line_, from, count);
    }
    return MoveTo(end);
}

bool CXmlReader::ScanEmptyElementEnd(std::int32_t pos) {
    while (pos < LineLength() && !IsBlank(line_[pos]) && line_[pos] != '>') ++pos;
    kind_ = kXmlEndTag;  // "/>" ends the element still current
    return MoveTo(pos);
}

bool CXmlReader::ScanTagCloser(std::int32_t pos) {
    inTag_ = inAttrValue_ = false;
    inText_ = true;
    text_.clear();
    return MoveTo(pos);
}

bool CXmlReader::ScanValueStart(std::int32_t pos) {
    inAttrValue_ = true;
    valueBuffer_.clear();
    return MoveTo(pos);
}

bool CXmlReader::ScanAttributeName(std::int32_t pos) {
    std::int32_t end = pos;
    while (end < LineLength() && !IsBlank(line_[end]) && line_[end] != '=' && line_[end] != '>') ++end;
    if (end == pos) return Fail("Missing attribute name before '='");
    attrName_.assign(line_, static_cast<std::size_t>(pos), static_cast<std::size_t>(end - pos));
    attrValue_.clear();
    return MoveTo(end);
}

}  // namespace qm
