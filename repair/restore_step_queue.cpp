#include "repair/restore_step_queue.h"

#include <system_error>
#include <utility>

namespace qm {
namespace {

constexpr std::size_t kStepsPerBatch = 512;
// Batches read ahead of the writes at most.
constexpr std::size_t kWaitingBatches = 32;

}  // namespace

RestoreStepQueue::~RestoreStepQueue() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

RestoreStepQueue::BatchPtr RestoreStepQueue::Take(std::unique_lock<std::mutex>& lock) {
    BatchPtr batch;
    if (!spare_.empty()) {
        batch = std::move(spare_.back());
        spare_.pop_back();
    }
    lock.unlock();
    if (!batch) batch = std::make_unique<RestoreStepBatch>();
    batch->Clear();
    return batch;
}

void RestoreStepQueue::Run() {
    for (;;) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return stop_ || ready_.size() < kWaitingBatches; });
        if (stop_) return;
        BatchPtr batch = Take(lock);
        bool more = false;
        std::exception_ptr failure;
        try {
            more = walk_.Fill(*batch, kStepsPerBatch);
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        if (batch->Size() > 0) ready_.push_back(std::move(batch));
        if (failure) failure_ = failure;
        if (failure || !more) walkOver_ = true;
        changed_.notify_all();
        if (walkOver_) return;
    }
}

RestoreStepBatch* RestoreStepQueue::Next() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (current_) {
        spare_.push_back(std::move(current_));
        changed_.notify_all();
    }
    if (!thread_.joinable()) {
        while (!walkOver_) {
            BatchPtr batch = Take(lock);
            if (!walk_.Fill(*batch, kStepsPerBatch)) walkOver_ = true;
            lock.lock();
            if (!walkOver_ && !threadTried_) {
                // The file goes on: the rest is walked ahead of the writes.
                threadTried_ = true;
                try {
                    thread_ = std::thread(&RestoreStepQueue::Run, this);
                } catch (const std::system_error&) {
                    // No thread: a batch at a time, here.
                }
            }
            if (batch->Size() > 0) {
                current_ = std::move(batch);
                return current_.get();
            }
            spare_.push_back(std::move(batch));
            if (thread_.joinable()) break;
        }
        if (!thread_.joinable()) return nullptr;
    }
    changed_.wait(lock, [&] { return !ready_.empty() || walkOver_; });
    if (!ready_.empty()) {
        current_ = std::move(ready_.front());
        ready_.pop_front();
        changed_.notify_all();
        return current_.get();
    }
    if (failure_) {
        std::exception_ptr failure = failure_;
        failure_ = nullptr;
        std::rethrow_exception(failure);
    }
    return nullptr;
}

}  // namespace qm
