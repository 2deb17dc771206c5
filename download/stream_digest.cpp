#include "download/stream_digest.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace Download {

StreamDigest::~StreamDigest() {
    Cancel();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    work_.notify_all();
    if (hasher_.joinable())
        hasher_.join();
}

bool StreamDigest::EnsureHasher() {
    if (hasher_.joinable())
        return true;
    if (hasherFailed_)
        return false;
    if (buffers_.empty()) {
        for (size_t i = 0; i < kSlots; ++i) {
            buffers_.emplace_back(new uint8_t[kSlotBytes]);
            free_.push_back(static_cast<int>(i));
        }
    }
    try {
        hasher_ = std::thread([this] { HasherLoop(); });
    } catch (const std::system_error&) {
        hasherFailed_ = true;  // the caller reads the file instead
        return false;
    }
    return true;
}

void StreamDigest::Restart(const std::string& prefixPath, int64_t prefixBytes) {
    open_ = false;
    length_ = 0;
    if (cancelled_.load() || !EnsureHasher())
        return;
    stream_.fetch_add(1);  // a prefix read of the previous stream stops early
    {
        // The previous stream's pending work is of no use any more.
        std::lock_guard<std::mutex> lock(mutex_);
        if (filling_ >= 0)
            free_.push_back(filling_);
        filling_ = -1;
        fillUsed_ = 0;
        for (const Job& job : queue_) {
            if (job.slot >= 0)
                free_.push_back(job.slot);
        }
        queue_.clear();
    }
    WaitIdle();
    context_.Init();
    invalid_.store(false);
    open_ = true;
    if (prefixBytes > 0) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            queue_.push_back(Job{-1, 0, prefixPath, prefixBytes, stream_.load()});
        }
        work_.notify_one();
        length_ = prefixBytes;
    }
}

void StreamDigest::Feed(const void* data, size_t length) {
    if (!open_ || invalid_.load(std::memory_order_relaxed) || cancelled_.load())
        return;
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (length > 0) {
        if (filling_ < 0) {
            std::unique_lock<std::mutex> lock(mutex_);
            done_.wait(lock, [this] { return !free_.empty() || cancelled_.load(); });
            if (cancelled_.load())
                return;
            filling_ = free_.back();
            free_.pop_back();
            fillUsed_ = 0;
        }
        const size_t n = std::min(length, kSlotBytes - fillUsed_);
        std::memcpy(buffers_[filling_].get() + fillUsed_, bytes, n);
        fillUsed_ += n;
        bytes += n;
        length -= n;
        length_ += static_cast<int64_t>(n);
        if (fillUsed_ == kSlotBytes)
            SubmitFilling();
    }
}

void StreamDigest::SubmitFilling() {
    if (filling_ < 0)
        return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (fillUsed_ > 0) {
            queue_.push_back(Job{filling_, fillUsed_, {}, 0, stream_.load()});
        } else {
            free_.push_back(filling_);
        }
        filling_ = -1;
        fillUsed_ = 0;
    }
    work_.notify_one();
}

void StreamDigest::WaitIdle() {
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return queue_.empty() && !busy_; });
}

std::string StreamDigest::Finish() {
    if (!open_)
        return {};
    SubmitFilling();
    WaitIdle();
    open_ = false;
    if (invalid_.load() || cancelled_.load())
        return {};
    uint8_t digest[16];
    context_.Final(digest);
    return Utils::Md5::ToHex(digest);
}

void StreamDigest::Cancel() {
    cancelled_.store(true);
    {
        // Taking the lock orders the flag before any waiter's next check of it.
        std::lock_guard<std::mutex> lock(mutex_);
    }
    work_.notify_all();
    done_.notify_all();
}

void StreamDigest::HasherLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        work_.wait(lock, [this] { return quit_ || !queue_.empty(); });
        if (queue_.empty())
            return;
        Job job = std::move(queue_.front());
        queue_.pop_front();
        busy_ = true;
        lock.unlock();
        if (!cancelled_.load() && !invalid_.load() && job.stream == stream_.load()) {
            if (job.slot >= 0) {
                context_.Update(buffers_[job.slot].get(), job.used);
            } else if (!HashPrefix(job) && job.stream == stream_.load()) {
                invalid_.store(true);
            }
        }
        lock.lock();
        if (job.slot >= 0)
            free_.push_back(job.slot);
        busy_ = false;
        done_.notify_all();
    }
}

bool StreamDigest::HashPrefix(const Job& job) {
    const int fd = ::open(job.path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[kSlotBytes]);
    int64_t left = job.prefix;
    bool ok = true;
    while (left > 0) {
        if (cancelled_.load() || job.stream != stream_.load()) {
            ok = false;
            break;
        }
        const size_t want = static_cast<size_t>(std::min<int64_t>(left, kSlotBytes));
        const ssize_t got = ::read(fd, buffer.get(), want);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            ok = false;  // a read error, or the file is shorter than the writer believed
            break;
        }
        context_.Update(buffer.get(), static_cast<size_t>(got));
        left -= got;
    }
    ::close(fd);
    return ok;
}

}  // namespace Download
