// StreamDigest: the MD5 of a file computed while the file is being written, on a thread of
// its own, so verifying a download costs no second pass over the data afterwards.
//
// The writer hands every block it appended to the file to Feed, which copies the block into
// one of a few fixed buffers and passes each full buffer to the hasher thread; the writer
// waits only when every buffer is still queued. Memory is therefore fixed (kSlots buffers of
// kSlotBytes) whatever the size of the file. A stream that continues an existing file starts
// with a prefix: the hasher reads the file's first bytes back before it hashes what is fed.
//
// The digest is only as good as the writer's account of the file. A writer that cannot tell
// what reached the disk (a failed or short write, a failed close) calls Invalidate; a prefix
// that cannot be read in full invalidates the stream too. Finish then returns an empty text,
// which tells the caller to read the finished file instead.
//
// Threads: Restart, Feed, Invalidate, IsOpen, Length and Finish are called by one writer at a
// time (the thread that writes the file, or a thread that has synchronised with it, for
// example by joining it). Cancel may be called from any thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "utils/md5.h"

namespace Download {

class StreamDigest {
public:
    static constexpr size_t kSlotBytes = 256 * 1024;
    static constexpr size_t kSlots = 4;

    StreamDigest() = default;
    /// Cancels whatever is in progress and waits for the hasher thread.
    ~StreamDigest();
    StreamDigest(const StreamDigest&) = delete;
    StreamDigest& operator=(const StreamDigest&) = delete;

    /// Drops the current stream and opens a new, empty one. When `prefixBytes` is above 0 the
    /// stream begins with the first `prefixBytes` bytes of the file at `prefixPath`, which the
    /// hasher reads back (the writer may already be appending to that file). Starts the hasher
    /// thread on first use; when no thread can be had, or after Cancel, no stream is open.
    void Restart(const std::string& prefixPath = {}, int64_t prefixBytes = 0);

    /// Appends bytes to the open stream; does nothing when no valid stream is open. Blocks
    /// while every buffer waits for the hasher.
    void Feed(const void* data, size_t length);

    /// The bytes fed no longer describe the file: the stream stays open but Finish will give
    /// an empty text, and Feed stops copying.
    void Invalidate() { invalid_.store(true); }

    /// A stream is open and nothing has made it doubtful so far (a prefix still being read
    /// may yet fail; Finish has the last word).
    bool IsOpen() const { return open_ && !invalid_.load() && !cancelled_.load(); }

    /// Bytes the open stream covers: its prefix plus everything fed.
    int64_t Length() const { return length_; }

    /// Waits until the hasher has taken in everything and closes the stream. The digest as
    /// 32 lower-case hexadecimal characters, or an empty text when no stream was open or it
    /// became doubtful.
    std::string Finish();

    /// Ends every stream for good: a prefix read stops, a waiting Feed returns, and Feed,
    /// Restart and Finish do no work any more. Any thread.
    void Cancel();

private:
    struct Job {
        int slot = -1;        // buffer to hash, or -1 for a prefix read
        size_t used = 0;      // bytes of the buffer
        std::string path;     // prefix read: the file ...
        int64_t prefix = 0;   // ... and how many of its first bytes
        uint64_t stream = 0;  // the stream the job belongs to
    };

    bool EnsureHasher();
    void HasherLoop();
    bool HashPrefix(const Job& job);
    /// Passes the partly filled buffer to the hasher (or back to the pool when empty).
    void SubmitFilling();
    /// Waits until every queued job is done.
    void WaitIdle();

    // Writer side.
    bool open_ = false;
    int64_t length_ = 0;
    int filling_ = -1;  // buffer being filled by Feed, -1 when none
    size_t fillUsed_ = 0;

    std::atomic<bool> invalid_{false};
    std::atomic<bool> cancelled_{false};
    std::atomic<uint64_t> stream_{0};  // counts Restarts; older jobs are dropped

    // Shared with the hasher, under mutex_.
    std::mutex mutex_;
    std::condition_variable work_;  // a job arrived, or quit
    std::condition_variable done_;  // a job ended (a buffer came back)
    std::deque<Job> queue_;
    std::vector<int> free_;
    bool busy_ = false;
    bool quit_ = false;

    std::vector<std::unique_ptr<uint8_t[]>> buffers_;
    Utils::Md5 context_;  // touched by the hasher while jobs run, by the writer when idle
    std::thread hasher_;
    bool hasherFailed_ = false;
};

}  // namespace Download
