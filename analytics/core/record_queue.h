// The bounded queue of rendered analytics records, with its staging file and its sender.
//
// Records are JSON texts, oldest first, at most `capacity` (1024) of them: adding beyond
// that drops the oldest. The staging file carries the queue from one process to the next:
// it is read (once) at the first flush and written at close.
//
// Locks: the send lock serialises batches (one on the wire at a time); the records lock
// guards the records and the staging file and is not held during a transfer, so records
// can be added meanwhile. Order of taking: send lock, then records lock.
#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "analytics/core/batch_sender.h"

namespace analytics_core {

class RecordQueue {
public:
    static constexpr size_t kDefaultCapacity = 1024;
    static constexpr size_t kBatchSize = 30;

    /// `stagingPath` may be empty (no staging file). The queue owns `sender`.
    RecordQueue(std::string stagingPath, std::unique_ptr<BatchSender> sender,
                size_t capacity = kDefaultCapacity);
    /// Closes the queue (see close).
    ~RecordQueue();
    RecordQueue(const RecordQueue&) = delete;
    RecordQueue& operator=(const RecordQueue&) = delete;

    /// Appends a record, dropping the oldest beyond the capacity. Any thread.
    void add(std::string record);

    /// Sends up to 30 of the oldest records as one batch. True when the batch was accepted
    /// or there was nothing to send. On failure, or when the send throws, the batch goes
    /// back in front of the queue as far as there is room (the newest of the batch first
    /// keep their place); nothing else is lost.
    bool flushOneBatch();

    /// Sends batches until the queue is empty; false at the first failed batch.
    bool flushAll();

    /// Reads the staging file into the front of the queue the first time it is called and
    /// empties the file; later calls do nothing. Run at the start of every flush.
    void loadStagingFile();

    /// Loads (if not yet done), then writes every queued record to the staging file, one per
    /// line, oldest first. The destructor calls it; calling it twice rewrites the file.
    void close();

    size_t size() const;
    size_t capacity() const { return capacity_; }
    /// A copy of the queued records, oldest first.
    std::vector<std::string> records() const;

private:
    void requeueFront(const std::vector<std::string>& batch);

    const std::string stagingPath_;
    const size_t capacity_;
    std::unique_ptr<BatchSender> sender_;

    mutable std::mutex recordsMutex_;
    std::deque<std::string> records_;
    bool pendingLoad_ = true;

    std::mutex sendMutex_;
};

}  // namespace analytics_core
