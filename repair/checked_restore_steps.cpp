#include "repair/checked_restore_steps.h"

#include <cstring>
#include <string>

namespace qm {
namespace {

// Each step: its kind, view, place and flags (a byte each), its line; then,
// for a key, its name; for a value, its type, its name and its data. Lengths
// are 32-bit.
constexpr std::size_t kHeadBytes = 4 + sizeof(std::int32_t);

// Appended as they are: a resize would first fill the room with zeros.
template <class T>
void Put(std::vector<char>& out, T value) {
    char bytes[sizeof value];
    std::memcpy(bytes, &value, sizeof value);
    out.insert(out.end(), bytes, bytes + sizeof value);
}

void PutBytes(std::vector<char>& out, const void* data, std::size_t size) {
    Put(out, static_cast<std::uint32_t>(size));
    out.insert(out.end(), static_cast<const char*>(data), static_cast<const char*>(data) + size);
}

template <class T>
T Get(const std::vector<char>& in, std::size_t& at) {
    T value;
    std::memcpy(&value, in.data() + at, sizeof value);
    at += sizeof value;
    return value;
}

std::uint32_t GetLength(const std::vector<char>& in, std::size_t& at) { return Get<std::uint32_t>(in, at); }

}  // namespace

bool CheckedRestoreSteps::Keep(const RestoreStep& step) {
    if (!whole_) return false;
    std::size_t size = kHeadBytes;
    switch (step.kind) {
        case RestoreStep::Kind::Key: size += 4 + step.text.size(); break;
        case RestoreStep::Kind::EndKey: break;
        case RestoreStep::Kind::Value:
            if (!step.error.empty()) {
                Drop();
                return false;
            }
            size += 12 + step.text.size() + step.data.size();
            break;
        default:
            Drop();
            return false;
    }
    if (step.text.size() > UINT32_MAX || step.data.size() > UINT32_MAX || buffer_.size() + size > limit_) {
        Drop();
        return false;
    }
    buffer_.push_back(static_cast<char>(step.kind));
    buffer_.push_back(static_cast<char>(step.view));
    buffer_.push_back(static_cast<char>(step.place));
    buffer_.push_back(static_cast<char>(step.named ? 1 : 0));
    Put(buffer_, step.line);
    if (step.kind == RestoreStep::Kind::Key) {
        PutBytes(buffer_, step.text.data(), step.text.size());
    } else if (step.kind == RestoreStep::Kind::Value) {
        Put(buffer_, step.type);
        PutBytes(buffer_, step.text.data(), step.text.size());
        PutBytes(buffer_, step.data.data(), step.data.size());
    }
    return true;
}

void CheckedRestoreSteps::Drop() {
    whole_ = false;
    std::vector<char>().swap(buffer_);
    read_ = 0;
}

bool CheckedRestoreSteps::Fill(RestoreStepBatch& batch, std::size_t limit) {
    while (read_ < buffer_.size() && batch.Size() < limit) {
        RestoreStep& step = batch.Add();
        step.kind = static_cast<RestoreStep::Kind>(buffer_[read_]);
        step.view = static_cast<RegView>(buffer_[read_ + 1]);
        step.place = static_cast<KeyPlace>(buffer_[read_ + 2]);
        step.named = buffer_[read_ + 3] != 0;
        read_ += 4;
        step.line = Get<std::int32_t>(buffer_, read_);
        if (step.kind == RestoreStep::Kind::Key) {
            const std::uint32_t length = GetLength(buffer_, read_);
            step.text.assign(buffer_.data() + read_, length);
            read_ += length;
        } else if (step.kind == RestoreStep::Kind::Value) {
            step.type = Get<std::uint32_t>(buffer_, read_);
            std::uint32_t length = GetLength(buffer_, read_);
            step.text.assign(buffer_.data() + read_, length);
            read_ += length;
            length = GetLength(buffer_, read_);
            const auto* data = reinterpret_cast<const std::uint8_t*>(buffer_.data() + read_);
            // Room for the byte the restore adds after the data.
            step.data.reserve(std::size_t{length} + 1);
            step.data.assign(data, data + length);
            read_ += length;
        }
    }
    return read_ < buffer_.size();
}

}  // namespace qm
