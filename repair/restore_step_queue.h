// Runs the walk of a backup file (backup_walk.h) on a thread of its own,
// ahead of the restore's writes: the file is read and checked while the
// registry answers the writes, and the writes follow one another without
// the reading in between. Steps come out in file order, in batches; at most
// a fixed number of batches wait, so a large file is not held whole. The
// first batch is walked on the caller's thread, and the thread is started
// only when the file goes on after it (a small file needs none); when no
// thread can be started, the walk stays on the caller's thread, a batch at
// a time.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "repair/backup_walk.h"

namespace qm {

class RestoreStepQueue {
public:
    explicit RestoreStepQueue(BackupWalk& walk) : walk_(walk) {}
    // Stops the walk where it is and waits for its thread.
    ~RestoreStepQueue();
    RestoreStepQueue(const RestoreStepQueue&) = delete;
    RestoreStepQueue& operator=(const RestoreStepQueue&) = delete;

    // The next batch of steps (not empty), null after the last one. The
    // batch is the caller's until the next call. An exception the walk threw
    // comes out here.
    RestoreStepBatch* Next();

private:
    using BatchPtr = std::unique_ptr<RestoreStepBatch>;
    void Run();
    BatchPtr Take(std::unique_lock<std::mutex>& lock);

    BackupWalk& walk_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<BatchPtr> ready_;   // filled, in file order
    std::vector<BatchPtr> spare_;  // carried out, to be filled again
    BatchPtr current_;             // the caller's
    bool walkOver_ = false;
    bool stop_ = false;
    bool threadTried_ = false;
    std::exception_ptr failure_;
    std::thread thread_;
};

}  // namespace qm
