// The XML backup writer: a file sink (CXmlWriter) that creates its file on
// the first write and puts the XML declaration at its top, and the element
// (CXmlElement) that writes start tags, empty elements, end tags and the
// declaration with one space of indentation per nesting level and CR LF line
// ends. Attribute values are escaped and converted by the callers
// (GetEscapedXmlString, then UTF8Conversion).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/unbuffered_file.h"

namespace qm {

class CXmlWriter {
public:
    CXmlWriter() = default;
    virtual ~CXmlWriter() = default;
    CXmlWriter(const CXmlWriter&) = delete;
    CXmlWriter& operator=(const CXmlWriter&) = delete;

    // Takes effect only while the writer is closed. Returns 1.
    int SetFileName(const std::string& name);
    // Writes the bytes of `text`, creating the file first when it is not open
    // (and then the declaration). An existing file is never truncated: when
    // the name is taken, a counter goes before the extension ("name-2.xml",
    // "name-3.xml", ...). Each call reaches the operating system before it
    // returns. Returns 0 when the file cannot be created or written.
    virtual int Write(const std::string& text);
    // Closes the file and resets the flags and the indent level. Returns 1.
    int Close();
    // True once a write was dropped (the file could not be created or
    // written) since the last SetFileName: from then on the file is missing
    // something that was meant to be in it.
    bool WriteFailed() const { return writeFailed_; }

    bool IsOpen() const { return open_; }
    // The name given by SetFileName.
    const std::string& GetFileName() const { return fileName_; }
    // The name of the file actually created (with its counter, if any); empty
    // until a file has been created since the last SetFileName.
    const std::string& GetCreatedFileName() const { return createdName_; }

    std::int32_t IndentLevel() const { return indent_; }
    void SetIndentLevel(std::int32_t level) { indent_ = level; }
    void AddIndent(std::int32_t step) { indent_ += step; }

private:
    bool Open();

    UnbufferedFile file_;
    bool open_ = false;
    bool declarationWritten_ = false;
    bool openFailed_ = false;  // until Close or a new name: don't retry on every write
    bool writeFailed_ = false;
    std::string fileName_;
    std::string createdName_;
    std::int32_t indent_ = 0;
};

class CXmlElement {
public:
    explicit CXmlElement(std::string name = {}) : name_(std::move(name)) {}

    const std::string& GetName() const { return name_; }
    void SetName(const std::string& name) { name_ = name; }
    // Replaces the value of an attribute of exactly this name, or appends the
    // pair. The value is written as given (escape it first).
    void SetAttribute(const std::string& name, const std::string& value);
    std::size_t AttributeCount() const { return attrNames_.size(); }

    // Adds `step` to the writer's level, then writes the indentation (when
    // `indent`), "<name attributes>" and CR LF (when `lineEnd`).
    int WriteStartTag(CXmlWriter& writer, std::int32_t step, bool indent, bool lineEnd) const;
    // As WriteStartTag but ends in "/>"; subtracts `step` again afterwards.
    int WriteEmptyElement(CXmlWriter& writer, std::int32_t step, bool indent, bool lineEnd) const;
    // Writes the indentation of the current level, "</name>" and CR LF, then
    // adds `step` (-1 where it closes a start tag).
    static int WriteEndTag(const std::string& name, CXmlWriter& writer, std::int32_t step,
                           bool indent, bool lineEnd);
    // Adds `step`, then writes the indentation, "<?name attributes?>" and CR LF.
    int WriteDeclaration(CXmlWriter& writer, std::int32_t step) const;

private:
    std::string Attributes() const;
    static std::string Indentation(std::int32_t level, bool indent);
    std::string TagText(std::int32_t level, bool indent, const char* close, bool lineEnd) const;

    std::string name_;
    std::vector<std::string> attrNames_;
    std::vector<std::string> attrValues_;
};

// "&" -> "&amp;", '"' -> "&quot;", "<" -> "&lt;"; nothing else changes.
std::string GetEscapedXmlString(const std::string& text);
// ANSI code page -> UTF-8 (through UTF-16), in full. "" stays "".
std::string UTF8Conversion(const std::string& text);

}  // namespace qm
