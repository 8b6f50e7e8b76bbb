// A small pull reader for the XML backup files: each ReadNext produces one
// event (start tag, attribute, end tag, text, directive, comment, CDATA or
// nothing) from the file, read line by line (the file itself in large blocks). Modes carry over from one line
// to the next, so attribute values, comments and CDATA sections may span
// lines; text and names may not. Malformed input stops the reader with
// "Parse error in line N : (reason)".
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace qm {

class IRestoreUi;

// The longest line, and the longest attribute value, the reader takes: a
// longer one (a file that is no backup) is a parse error.
constexpr std::size_t kMaxXmlLineLength = 64u * 1024u * 1024u;

// Event kinds.
enum XmlEventKind : std::int32_t {
    kXmlNone = 0,       // a step that completes nothing
    kXmlStartTag = 1,   // an element name after "<"
    kXmlEndTag = 2,     // "</name", or the "/" of "/>"
    kXmlAttribute = 3,  // a complete attribute value
    kXmlText = 4,       // a non-empty run of characters outside markup
    kXmlDirective = 5,  // "<?name" or "<!name" (not a comment or CDATA opener)
    kXmlComment = 6,    // the comment opener and each further line of an open comment
    kXmlCData = 7,      // the CDATA opener and each further line of an open section
};

class CXmlReader {
public:
    CXmlReader() = default;
    virtual ~CXmlReader() = default;
    CXmlReader(const CXmlReader&) = delete;
    CXmlReader& operator=(const CXmlReader&) = delete;

    // Takes effect only while the reader is closed. Returns 1.
    int SetFileName(const std::string& name);
    // When set, a parse error is also shown through the user interface.
    void SetShowErrors(bool show) { showErrors_ = show; }
    // Where parse errors are shown (not owned; null: nowhere).
    void SetErrorUi(IRestoreUi* ui) { ui_ = ui; }

    // Produces the next event. 1 when an event (possibly kind 0) was
    // produced; 0 at the end of the file, when the file cannot be opened
    // (IsOpen() stays false) or on a parse error (GetErrorText() is set).
    virtual int ReadNext();
    // Closes the file and clears the open and show-errors flags. Returns 1.
    int Close();

    std::int32_t GetKind() const { return kind_; }
    const std::string& GetTagName() const { return tagName_; }
    void GetAttribute(std::string& name, std::string& value) const {
        name = attrName_;
        value = attrValue_;
    }
    const std::string& GetAttributeName() const { return attrName_; }
    const std::string& GetAttributeValue() const { return attrValue_; }
    const std::string& GetText() const { return text_; }
    const std::string& GetDirectiveName() const { return directiveName_; }
    const std::string& GetErrorText() const { return errorText_; }
    // What was wrong, without the line ("Syntax error", ...).
    const std::string& GetErrorReason() const { return scanError_; }
    std::int32_t GetLineNumber() const { return lineNumber_; }
    bool IsOpen() const { return open_; }
    // True when reading the file failed before its end.
    bool ReadFailed() const { return readFailed_; }
    // True between the "<" of a start or end tag and its ">".
    bool InTag() const { return inTag_; }

private:
    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };

    // Opens the file and starts reading it from its beginning; false when
    // it cannot be opened.
    bool Open();
    enum class LineRead { Line, End, TooLong, Failed };
    // Reads the next line into line_ without its line end.
    LineRead ReadLine();
    // Reads the next block of the file into block_; false at its end or when
    // reading fails (blockFailed_).
    bool FillBlock();
    // One step of the line scanner; false with scanError_ set on malformed input.
    bool ScanLine();

    // What the scanner is inside of at the current position.
    enum class ScanState {
        CommentOrCData,  // an open comment or CDATA section: up to its closer
        ValueOpener,     // after "=": the quote that opens the value
        Value,           // inside an attribute value
        Text,            // after ">": characters up to the next "<"
        Markup,          // a tag's parts, or the "<" that opens one
    };
    ScanState CurrentState() const;
    // The steps, one for each state and each kind of markup: each reads from
    // `pos`, sets the event and the state, and moves position_ on.
    bool ScanLineEnd();
    bool ScanCommentOrCData(std::int32_t pos);
    bool ScanValueOpener(std::int32_t pos);
    bool ScanValue(std::int32_t pos);
    bool ScanText(std::int32_t pos);
    bool ScanMarkup(std::int32_t pos);
    bool ScanTagOpener(std::int32_t pos);
    bool ScanTagName(std::int32_t pos);
    bool ScanEmptyElementEnd(std::int32_t pos);
    bool ScanTagCloser(std::int32_t pos);
    bool ScanValueStart(std::int32_t pos);
    bool ScanAttributeName(std::int32_t pos);
    std::int32_t LineLength() const;
    std::int32_t SkipBlanks(std::int32_t pos) const;
    // Whether the line holds `text` at `pos`.
    bool StartsAt(std::int32_t pos, const char* text) const;
    // Ends a step: the next one starts at `pos` (-1: at the next line).
    bool MoveTo(std::int32_t pos);
    bool Fail(std::string reason);

    std::unique_ptr<std::FILE, FileCloser> file_;
    bool open_ = false;
    std::string fileName_;
    bool showErrors_ = false;
    bool readFailed_ = false;
    IRestoreUi* ui_ = nullptr;
    std::string errorText_;
    std::string scanError_;

    // The file's bytes not yet made into lines: block_[blockPos_, blockEnd_).
    std::vector<char> block_;
    std::size_t blockPos_ = 0;
    std::size_t blockEnd_ = 0;
    bool blockFailed_ = false;

    std::string line_;
    std::string lineEnd_;  // the line end the current line had in the file ("\r\n" or "\n")
    std::int32_t position_ = -1;
    std::int32_t lineNumber_ = 0;

    std::int32_t kind_ = kXmlNone;
    std::string tagName_;
    std::string text_;
    std::string attrName_;
    std::string attrValue_;
    std::string directiveName_;

    bool inComment_ = false;
    bool inCData_ = false;
    bool inTag_ = false;
    bool inAttrValue_ = false;
    bool inText_ = false;
    // The attribute value being collected; its first character is the one
    // that opened it (normally the quote).
    std::string valueBuffer_;
};

}  // namespace qm
