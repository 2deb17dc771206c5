#include "analytics/core/record_queue.h"

#include <fstream>

#include "analytics/core/validation.h"

namespace analytics_core {

RecordQueue::RecordQueue(std::string stagingPath, std::unique_ptr<BatchSender> sender,
                         size_t capacity)
    : stagingPath_(std::move(stagingPath)), capacity_(capacity), sender_(std::move(sender)) {}

RecordQueue::~RecordQueue() {
    try {
        close();
    } catch (const std::exception& e) {
        WriteDiagnostic(std::string("Failed to write the staging file: ") + e.what());
    }
}

void RecordQueue::add(std::string record) {
    std::lock_guard<std::mutex> lock(recordsMutex_);
    records_.push_back(std::move(record));
    while (records_.size() > capacity_)
        records_.pop_front();
}

void RecordQueue::loadStagingFile() {
    std::lock_guard<std::mutex> lock(recordsMutex_);
    if (!pendingLoad_)
        return;
    size_t room = capacity_ > records_.size() ? capacity_ - records_.size() : 0;
    if (room != 0 && !stagingPath_.empty()) {
        std::deque<std::string> kept;
        std::ifstream in(stagingPath_, std::ios::binary);
        std::string line;
        while (in && std::getline(in, line)) {
            if (line.empty() || line.front() != '{' || line.back() != '}')
                continue;
            kept.push_back(std::move(line));
            if (kept.size() > room)
                kept.pop_front();
        }
        records_.insert(records_.begin(), std::make_move_iterator(kept.begin()),
                        std::make_move_iterator(kept.end()));
    }
    if (!stagingPath_.empty()) {
        // The records now live in memory; emptying the file keeps them from coming back twice.
        std::ofstream truncate(stagingPath_, std::ios::binary | std::ios::trunc);
    }
    pendingLoad_ = false;
}

void RecordQueue::close() {
    loadStagingFile();
    std::lock_guard<std::mutex> lock(recordsMutex_);
    if (stagingPath_.empty())
        return;
    std::ofstream out(stagingPath_, std::ios::binary | std::ios::trunc);
    if (!out)
        return;
    for (const auto& record : records_)
        out << record << '\n';
}

void RecordQueue::requeueFront(const std::vector<std::string>& batch) {
    std::lock_guard<std::mutex> lock(recordsMutex_);
    size_t room = capacity_ > records_.size() ? capacity_ - records_.size() : 0;
    size_t keep = std::min(batch.size(), room);
    records_.insert(records_.begin(), batch.end() - static_cast<std::ptrdiff_t>(keep), batch.end());
}

bool RecordQueue::flushOneBatch() {
    loadStagingFile();
    std::lock_guard<std::mutex> sendLock(sendMutex_);
    std::vector<std::string> batch;
    {
        std::lock_guard<std::mutex> lock(recordsMutex_);
        size_t n = std::min(records_.size(), kBatchSize);
        if (n == 0)
            return true;
        batch.assign(std::make_move_iterator(records_.begin()),
                     std::make_move_iterator(records_.begin() + static_cast<std::ptrdiff_t>(n)));
        records_.erase(records_.begin(), records_.begin() + static_cast<std::ptrdiff_t>(n));
    }
    bool ok = false;
    try {
        std::string text = "[";
        for (size_t i = 0; i < batch.size(); ++i) {
            if (i > 0)
                text.push_back(',');
            text += batch[i];
        }
        text.push_back(']');
        ok = sender_ != nullptr && sender_->send(text);
    } catch (const std::exception& e) {
        // The batch is put back like any failed one: a failure while sending must not cost
        // the records (they are still in `batch`).
        WriteDiagnostic(std::string("Exception when flush failed: (") + e.what() + ") ");
        ok = false;
    } catch (...) {
        WriteDiagnostic("Exception when flush failed: (unknown exception) ");
        ok = false;
    }
    if (!ok)
        requeueFront(batch);
    return ok;
}

bool RecordQueue::flushAll() {
    loadStagingFile();
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(recordsMutex_);
            if (records_.empty())
                return true;
        }
        if (!flushOneBatch())
            return false;
    }
}

size_t RecordQueue::size() const {
    std::lock_guard<std::mutex> lock(recordsMutex_);
    return records_.size();
}

std::vector<std::string> RecordQueue::records() const {
    std::lock_guard<std::mutex> lock(recordsMutex_);
    return {records_.begin(), records_.end()};
}

}  // namespace analytics_core
