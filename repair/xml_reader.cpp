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

int CXmlReader::ReadNext() {
    if (!open_) {
        file_.reset(std::fopen(fileName_.c_str(), "rb"));
        if (!file_) return 0;
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
    }
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

bool CXmlReader::ScanLine() {
    kind_ = kXmlNone;
    const std::int32_t length = static_cast<std::int32_t>(line_.size());
    const std::int32_t last = length - 1;
    std::int32_t pos = position_;

    if (pos > last) {
        // An attribute value that goes on past this line keeps the line end
        // (also after an opening quote that ends a line, and for empty lines).
        if (inAttrValue_ && !valueBuffer_.empty()) valueBuffer_ += lineEnd_;
        position_ = -1;
        return true;
    }

    if (inTag_ && !inAttrValue_) {
        while (pos <= last && IsBlank(line_[pos])) ++pos;
        if (pos > last) {
            position_ = -1;
            return true;
        }
    }

    if (inComment_ || inCData_) {
        const char* closer = inComment_ ? "-->" : "]]>";
        const std::size_t found = line_.find(closer, static_cast<std::size_t>(pos));
        if (found != std::string::npos) {
            kind_ = kXmlNone;
            pos = static_cast<std::int32_t>(found) + 3;
            inComment_ = inCData_ = inTag_ = inAttrValue_ = false;
            inText_ = true;
            text_.clear();
        } else {
            kind_ = inComment_ ? kXmlComment : kXmlCData;
            pos = length;
        }
        position_ = pos;
        return true;
    }

    if (inAttrValue_) {
        if (valueBuffer_.empty()) {
            while (pos <= last && IsBlank(line_[pos])) ++pos;
            if (pos > last) {
                position_ = -1;  // the value starts on a later line
                return true;
            }
            valueBuffer_.push_back(line_[pos]);
            ++pos;
        } else {
            const char opener = valueBuffer_[0];
            const bool quoted = opener == '"' || opener == '\'';
            const std::size_t stop = quoted ? line_.find(opener, static_cast<std::size_t>(pos))
                                            : line_.find_first_of("\"'>", static_cast<std::size_t>(pos));
            if (stop == std::string::npos) {
                // The value goes on in the next line (the line end is added
                // by the next step).
                if (valueBuffer_.size() + line_.size() > kMaxXmlLineLength)
                    return Fail("attribute value longer than " +
                                std::to_string(kMaxXmlLineLength) + " bytes");
                valueBuffer_.append(line_, static_cast<std::size_t>(pos), std::string::npos);
                pos = length;
            } else {
                valueBuffer_.append(line_, static_cast<std::size_t>(pos), stop - static_cast<std::size_t>(pos));
                attrValue_.assign(valueBuffer_, quoted ? 1 : 0, std::string::npos);
                valueBuffer_.clear();
                inAttrValue_ = false;
                kind_ = kXmlAttribute;
                pos = static_cast<std::int32_t>(stop);
                if (line_[stop] != '>') ++pos;  // a closing quote is used up; ">" ends the tag next
            }
        }
        position_ = pos;
        return true;
    }

    if (inText_) {
        std::size_t stop = line_.find('<', static_cast<std::size_t>(pos));
        if (stop == std::string::npos) {
            stop = static_cast<std::size_t>(length);
        } else {
            inText_ = false;
        }
        text_.assign(line_, static_cast<std::size_t>(pos), stop - static_cast<std::size_t>(pos));
        kind_ = text_.empty() ? kXmlNone : kXmlText;
        position_ = static_cast<std::int32_t>(stop);
        return true;
    }

    const char c = line_[pos];
    if (c == '<') {
        if (inTag_) return Fail("Bad '<' symbol");
        inTag_ = true;
        inComment_ = inCData_ = inText_ = inAttrValue_ = false;
        valueBuffer_.clear();
        ++pos;
        while (pos <= last && IsBlank(line_[pos])) ++pos;
        if (pos > last) return Fail("'<' symbol not allowed at the end of a line");
        const std::int32_t remaining = length - pos;
        if (remaining >= 3 && line_.compare(static_cast<std::size_t>(pos), 3, "!--") == 0) {
            kind_ = kXmlComment;
            inComment_ = true;
            pos += 3;
        } else if (remaining >= 8 && line_.compare(static_cast<std::size_t>(pos), 8, "![CDATA[") == 0) {
            kind_ = kXmlCData;
            inCData_ = true;
            pos += 8;
        } else {
            std::int32_t end = pos;
            while (end <= last) {
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
            pos = end;
        }
    } else if (c == '?') {
        ++pos;
    } else if (c == '/') {
        ++pos;
        while (pos <= last && !IsBlank(line_[pos]) && line_[pos] != '>') ++pos;
        kind_ = kXmlEndTag;  // "/>" ends the element still current
    } else if (c == '>') {
        inTag_ = inAttrValue_ = false;
        inText_ = true;
        text_.clear();
        ++pos;
    } else if (!inTag_) {
        return Fail("Syntax error");
    } else if (c == '=') {
        inAttrValue_ = true;
        valueBuffer_.clear();
        ++pos;
    } else {
        std::int32_t end = pos;
        while (end <= last && !IsBlank(line_[end]) && line_[end] != '=' && line_[end] != '>') ++end;
        if (end == pos) return Fail("Missing attribute name before '='");
        attrName_.assign(line_, static_cast<std::size_t>(pos), static_cast<std::size_t>(end - pos));
        attrValue_.clear();
        pos = end;
    }
    position_ = pos;
    return true;
}

}  // namespace qm
