// The reading side of a restore: walks an XML backup file with CXmlReader,
// checks its elements and attributes and turns them into steps (a key
// element begins or ends, a value or file to write, a failure found in the
// file), in file order, for the writing side to carry out. Given the areas a
// restore may write into (restore_areas.h), the walk ends at the first
// element that lies outside them, with a refusal. Nothing here touches the
// registry, the file system beyond the backup itself (and the type of a
// shortcut's drive), or the user interface, so the walk may run ahead of the
// writes on a thread of its own (restore_step_queue.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/registry.h"
#include "repair/restore_areas.h"
#include "repair/restore_ui.h"

namespace qm {

class CXmlReader;
class IFileSystem;

struct RestoreStep {
    enum class Kind : std::uint8_t {
        Key,     // a key element begins: `text` is its name, `view` its chain's view
        EndKey,  // the innermost key element ends
        Value,   // a value element: `text` its name, `type` and `data` its bytes,
                 // `named` set when "(Default)" is its own name and not the
                 // unnamed value's; `error` set when its text or type does not
                 // read (nothing to write)
        File,    // a file element: `text`, `data`, `attributes` as given (see `given`)
        Fail,    // the walk stops here: `error` is the reason, `messages` were
                 // shown by the reader (a parse error), `shown` tells whether
                 // the reason itself has been shown
    };
    Kind kind = Kind::Fail;
    std::int32_t line = 0;  // of the element's start tag, or of the failure
    RegView view = RegView::k64;
    bool shown = false;
    bool named = false;
    // Key steps: where the key lies (Outside when the walk checks no areas).
    KeyPlace place = KeyPlace::Outside;
    // Fail steps: an element outside the areas; the whole backup is refused.
    bool refused = false;
    std::uint32_t type = 0;
    std::string text;
    std::string error;
    std::vector<std::uint8_t> data;
    // File elements: which of path (1), data (2) and attributes (4) were given.
    std::uint8_t given = 0;
    std::string fileData;
    std::string attributes;
    std::vector<std::string> messages;
};

// Steps handed over together; the strings of steps carried out are used
// again for the next ones.
class RestoreStepBatch {
public:
    RestoreStep& Add() {
        if (size_ == steps_.size()) steps_.emplace_back();
        RestoreStep& step = steps_[size_++];
        step.error.clear();
        step.messages.clear();
        step.given = 0;
        step.shown = false;
        step.named = false;
        step.refused = false;
        step.place = KeyPlace::Outside;
        return step;
    }
    std::size_t Size() const { return size_; }
    RestoreStep& operator[](std::size_t i) { return steps_[i]; }
    const RestoreStep& operator[](std::size_t i) const { return steps_[i]; }
    void Clear() { size_ = 0; }

private:
    std::vector<RestoreStep> steps_;
    std::size_t size_ = 0;
};

class BackupWalk {
public:
    // `showReaderErrors`: the reader's parse errors are to be shown (a user
    // interface is there); they come back in the failure's `messages`.
    // `areas`, when given, are checked (`fs`: where shortcuts are put back).
    BackupWalk(CXmlReader& reader, const std::string& path, bool showReaderErrors,
               const RestoreAreas* areas = nullptr, IFileSystem* fs = nullptr);
    ~BackupWalk();
    BackupWalk(const BackupWalk&) = delete;
    BackupWalk& operator=(const BackupWalk&) = delete;

    // Adds the next steps of the file to `batch`, up to `limit` in all.
    // False once the walk is over (after its last step, a Fail one when the
    // file is not a complete backup).
    bool Fill(RestoreStepBatch& batch, std::size_t limit);

private:
    enum class Element { Registry, Key, Value, File };
    struct OpenElement {
        Element element;
        std::string name;  // as written in the file, lower-cased
        // Key elements: the keys its start began (more than one for a root
        // that stands for a hive's own path), each ended with it.
        std::size_t keys = 0;
    };
    // The attributes of one element, names lower-cased, values unescaped;
    // their strings are used again for the next element's.
    class Attributes {
    public:
        std::pair<std::string, std::string>& Next();
        bool Commit();  // false when the name of Next() was given already
        const std::string* Find(std::string_view name) const;
        void Clear() { count_ = 0; }

    private:
        std::vector<std::pair<std::string, std::string>> items_;
        std::size_t count_ = 0;
    };

    RestoreStep& AddFail(RestoreStepBatch& batch, std::int32_t line, std::string reason);
    void Fail(RestoreStepBatch& batch, std::int32_t line, std::string reason);
    void Refuse(RestoreStepBatch& batch, std::int32_t line, std::string reason);
    void FinishStartTag(RestoreStepBatch& batch);
    void CloseElement(RestoreStepBatch& batch);
    void Step(RestoreStepBatch& batch);
    void End(RestoreStepBatch& batch, int status);

    CXmlReader& reader_;
    RecordingRestoreUi readerUi_;  // the reader's messages, passed on in a Fail step
    bool over_ = false;
    std::vector<OpenElement> elements_;
    std::size_t keyDepth_ = 0;  // key elements open
    Attributes attributes_;
    bool tagOpen_ = false;  // the attributes of elements_.back() are still being read
    std::int32_t tagLine_ = 0;
    bool rootSeen_ = false, rootEnded_ = false, rootClosed_ = false;
    std::string name_;  // of the tag or attribute read
    std::unique_ptr<RestoreAreaCheck> check_;
    std::string reason_;
    std::vector<std::uint8_t> fileBytes_;
};

// GetUnescapedXmlString into `out`, whose storage is used again.
void UnescapeXmlInto(const std::string& text, std::string& out);

}  // namespace qm
