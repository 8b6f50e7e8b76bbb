#include "repair/backup_walk.h"

#include "repair/backup_file_element.h"
#include "repair/backup_value_format.h"
#include "repair/registry_repair.h"
#include "repair/xml_reader.h"

namespace qm {
namespace {

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsAsciiText(const std::string& text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

bool IsWhitespace(const std::string& text) {
    for (const char c : text)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
    return true;
}

// An element or attribute name as the restore compares it: unescaped, ASCII
// letters in lower case.
void NameInto(const std::string& text, std::string& out) {
    UnescapeXmlInto(text, out);
    for (char& c : out) c = AsciiLower(c);
}

}  // namespace

void UnescapeXmlInto(const std::string& text, std::string& out) {
    // Text of ASCII characters is the same in every code page. One pass
    // finds both what needs converting and the first reference.
    std::size_t i = 0;
    bool ascii = true;
    for (; i < text.size() && text[i] != '&'; ++i)
        if (static_cast<unsigned char>(text[i]) >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii && i == text.size()) {
        out.assign(text);
        return;
    }
    std::string converted;
    const std::string* source = &text;
    if (!ascii || !IsAsciiText(text)) {
        converted = FromUTF8Conversion(text);
        source = &converted;
        i = converted.find('&');
    }
    const std::string& s = *source;
    if (i == std::string::npos) {
        out.assign(s);
        return;
    }
    out.assign(s, 0, i);
    while (i < s.size()) {
        if (s[i] == '&') {
            if (s.compare(i, 4, "&lt;") == 0) {
                out.push_back('<');
                i += 4;
                continue;
            }
            if (s.compare(i, 6, "&quot;") == 0) {
                out.push_back('"');
                i += 6;
                continue;
            }
            if (s.compare(i, 5, "&amp;") == 0) {
                out.push_back('&');
                i += 5;
                continue;
            }
        }
        out.push_back(s[i++]);
    }
}

std::pair<std::string, std::string>& BackupWalk::Attributes::Next() {
    if (count_ == items_.size()) items_.emplace_back();
    return items_[count_];
}

bool BackupWalk::Attributes::Commit() {
    const std::string& name = items_[count_].first;
    for (std::size_t i = 0; i < count_; ++i)
        if (items_[i].first == name) return false;
    ++count_;
    return true;
}

const std::string* BackupWalk::Attributes::Find(std::string_view name) const {
    for (std::size_t i = 0; i < count_; ++i)
        if (std::string_view(items_[i].first) == name) return &items_[i].second;
    return nullptr;
}

BackupWalk::BackupWalk(CXmlReader& reader, const std::string& path, bool showReaderErrors,
                       const RestoreAreas* areas, IFileSystem* fs)
    : reader_(reader) {
    if (areas != nullptr) check_ = std::make_unique<RestoreAreaCheck>(*areas, fs);
    reader_.SetShowErrors(showReaderErrors);
    reader_.SetErrorUi(&readerUi_);
    reader_.SetFileName(path);
}

BackupWalk::~BackupWalk() { reader_.SetErrorUi(nullptr); }

RestoreStep& BackupWalk::AddFail(RestoreStepBatch& batch, std::int32_t line, std::string reason) {
    RestoreStep& step = batch.Add();
    step.kind = RestoreStep::Kind::Fail;
    step.line = line;
    step.error = std::move(reason);
    over_ = true;
    return step;
}

void BackupWalk::Fail(RestoreStepBatch& batch, std::int32_t line, std::string reason) {
    AddFail(batch, line, std::move(reason));
}

void BackupWalk::Refuse(RestoreStepBatch& batch, std::int32_t line, std::string reason) {
    AddFail(batch, line, std::move(reason)).refused = true;
}

void BackupWalk::FinishStartTag(RestoreStepBatch& batch) {
    tagOpen_ = false;
    const OpenElement& e = elements_.back();
    if (e.element == Element::Registry) {
        rootSeen_ = true;
    } else if (e.element == Element::Key) {
        const std::string* name = attributes_.Find("name");
        if (name == nullptr) return Fail(batch, tagLine_, "key element without a name");
        // Only the outermost key says which view its chain is in.
        RegView view = RegView::k64;
        if (const std::string* given = keyDepth_ == 0 ? attributes_.Find("view") : nullptr) {
            if (*given == ViewName(RegView::k32)) view = RegView::k32;
            else if (*given != ViewName(RegView::k64))
                return Fail(batch, tagLine_, "unknown registry view \"" + *given + "\"");
        }
        if (keyDepth_ == 0 && RootKeyFromName(*name) == kNullKey)
            return Fail(batch, tagLine_, "unknown root key \"" + *name + "\"");
        // A key of one hive of HKEY_CLASSES_ROOT goes back to that hive: its
        // chain is restored below that hive's own path.
        const char* const* hivePath = nullptr;
        if (const std::string* given = keyDepth_ == 0 ? attributes_.Find("hive") : nullptr) {
            static const char* const kUserClasses[] = {"HKEY_CURRENT_USER", "Software", "Classes", nullptr};
            static const char* const kMachineClasses[] = {"HKEY_LOCAL_MACHINE", "SOFTWARE", "Classes", nullptr};
            if (*given == ClassesHiveName(ClassesHive::kUser)) hivePath = kUserClasses;
            else if (*given == ClassesHiveName(ClassesHive::kMachine)) hivePath = kMachineClasses;
            else return Fail(batch, tagLine_, "unknown hive \"" + *given + "\"");
            if (RootKeyFromName(*name) != kHkeyClassesRoot)
                return Fail(batch, tagLine_, "hive \"" + *given + "\" given for \"" + *name +
                                                 "\", which is not HKEY_CLASSES_ROOT");
        }
        if (check_ && !check_->EnterKey(*name, view, reason_)) return Refuse(batch, tagLine_, reason_);
        ++keyDepth_;
        elements_.back().keys = 0;
        for (std::size_t i = 0; i == 0 || (hivePath && hivePath[i]); ++i) {
            RestoreStep& step = batch.Add();
            step.kind = RestoreStep::Kind::Key;
            step.line = tagLine_;
            step.view = view;
            if (hivePath) step.text.assign(hivePath[i]);
            else step.text.assign(*name);
            if (check_) step.place = check_->Place();
            ++elements_.back().keys;
        }
    }
}

void BackupWalk::CloseElement(RestoreStepBatch& batch) {
    const Element element = elements_.back().element;
    const std::size_t keys = elements_.back().keys;
    elements_.pop_back();
    switch (element) {
        case Element::Registry:
            rootEnded_ = true;  // closed once its ">" is read
            break;
        case Element::Key: {
            --keyDepth_;
            if (check_) check_->LeaveKey();
            for (std::size_t i = 0; i < keys; ++i) {
                RestoreStep& step = batch.Add();
                step.kind = RestoreStep::Kind::EndKey;
                step.line = tagLine_;
            }
            break;
        }
        case Element::Value: {
            const std::string* name = attributes_.Find("name");
            const std::string* text = attributes_.Find("value");
            const std::string* type = attributes_.Find("type");
            const std::string* named = attributes_.Find(kBackupNamedAttribute);
            if (name == nullptr) return Fail(batch, tagLine_, "value element without a name");
            if (text == nullptr) return Fail(batch, tagLine_, "value \"" + *name + "\" without a value text");
            if (named != nullptr && *named != "0" && *named != "1")
                return Fail(batch, tagLine_,
                            "value \"" + *name + "\": " + kBackupNamedAttribute + "=\"" + *named + "\" is neither 0 nor 1");
            if (check_ && !check_->CheckValue(*name, reason_)) return Refuse(batch, tagLine_, reason_);
            RestoreStep& step = batch.Add();
            step.kind = RestoreStep::Kind::Value;
            step.line = tagLine_;
            step.text.assign(*name);
            step.named = named != nullptr && *named == "1";
            static const std::string kNoType;
            // When it does not read, nothing after it is written: the
            // writing side stops here, at this value or at its key.
            if (!ParseBackupValue(*text, type ? *type : kNoType, step.type, step.data, step.error)) over_ = true;
            break;
        }
        case Element::File: {
            const std::string* path = attributes_.Find("path");
            if (check_ && path != nullptr) {
                // Content that does not read as bytes fails the restore there.
                const std::string* data = attributes_.Find("data");
                const bool bytes = data != nullptr && ParseHexByteText(*data, fileBytes_);
                if (!check_->CheckFile(*path, bytes ? &fileBytes_ : nullptr, reason_))
                    return Refuse(batch, tagLine_, reason_);
            }
            RestoreStep& step = batch.Add();
            step.kind = RestoreStep::Kind::File;
            step.line = tagLine_;
            if (path != nullptr) {
                step.given |= 1;
                step.text.assign(*path);
            }
            if (const std::string* data = attributes_.Find("data")) {
                step.given |= 2;
                step.fileData.assign(*data);
            }
            if (const std::string* attributes = attributes_.Find("attributes")) {
                step.given |= 4;
                step.attributes.assign(*attributes);
            }
            break;
        }
    }
}

void BackupWalk::Step(RestoreStepBatch& batch) {
    const std::int32_t line = reader_.GetLineNumber();
    switch (reader_.GetKind()) {
        case kXmlStartTag: {
            NameInto(reader_.GetTagName(), name_);
            Element element;
            // The keys and values first: nearly every element is one.
            const std::string_view name(name_);
            if (name == "k") element = Element::Key;
            else if (name == "v") element = Element::Value;
            else if (name == "registry") element = Element::Registry;
            else if (name == kBackupFileElement) element = Element::File;
            else return Fail(batch, line, "unknown element <" + name_ + ">");
            bool allowed = false;
            if (elements_.empty()) {
                allowed = element == Element::Registry;
            } else if (elements_.back().element == Element::Registry) {
                allowed = element == Element::Key || element == Element::File;
            } else if (elements_.back().element == Element::Key) {
                allowed = element == Element::Key || element == Element::Value;
            }
            if (rootEnded_)
                return Fail(batch, line, "element <" + name_ + "> after the end of the registry element");
            if (!allowed)
                return Fail(batch, line,
                            "element <" + name_ + "> " +
                                (elements_.empty() ? std::string("outside the registry element")
                                                   : "inside <" + elements_.back().name + ">"));
            elements_.push_back(OpenElement{element, name_, 0});
            attributes_.Clear();
            tagOpen_ = true;
            tagLine_ = line;
            break;
        }
        case kXmlAttribute:
            if (tagOpen_) {
                auto& attribute = attributes_.Next();
                NameInto(reader_.GetAttributeName(), attribute.first);
                UnescapeXmlInto(reader_.GetAttributeValue(), attribute.second);
                if (!attributes_.Commit()) return Fail(batch, line, "attribute \"" + attribute.first + "\" given twice");
            }
            break;
        case kXmlEndTag: {
            if (tagOpen_) FinishStartTag(batch);
            if (over_) return;
            NameInto(reader_.GetTagName(), name_);
            if (elements_.empty()) return Fail(batch, line, "end tag </" + name_ + "> without its start tag");
            if (name_ != elements_.back().name)
                return Fail(batch, line, "end tag </" + name_ + "> where </" + elements_.back().name + "> belongs");
            CloseElement(batch);
            break;
        }
        case kXmlText:
            if (!IsWhitespace(reader_.GetText())) return Fail(batch, line, "text outside every attribute");
            break;
        default:  // comments, CDATA, directives, the ends of lines and tags
            break;
    }
    if (over_) return;
    if (tagOpen_ && !reader_.InTag()) FinishStartTag(batch);
    if (rootEnded_ && !reader_.InTag()) rootClosed_ = true;
}

void BackupWalk::End(RestoreStepBatch& batch, int status) {
    over_ = true;
    if (status != 0) return;
    std::string reason;
    bool shown = false;
    if (!reader_.IsOpen()) {
        Fail(batch, 0, "cannot open the file");
        return;
    }
    if (!reader_.GetErrorText().empty()) {
        reason = reader_.GetErrorReason();
        shown = !reader_.ReadFailed();
    } else if (!rootSeen_) {
        reason = "no registry element";
    } else if (!rootClosed_) {
        reason = "the file ends before the end of the registry element (</registry>)";
    } else {
        return;  // a complete backup
    }
    RestoreStep& step = AddFail(batch, reader_.GetLineNumber(), std::move(reason));
    step.shown = shown;
    step.messages = readerUi_.Messages();
}

bool BackupWalk::Fill(RestoreStepBatch& batch, std::size_t limit) {
    while (!over_ && batch.Size() < limit) {
        const int status = reader_.ReadNext();
        if (status != 1) {
            End(batch, status);
            break;
        }
        Step(batch);
    }
    return !over_;
}

}  // namespace qm
