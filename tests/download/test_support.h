// Shared fixtures of the download tests: a real glyphora-distserver child process, private
// temporary folders, an event recorder and an injected pacing that records pauses.
#pragma once

#include <sys/types.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "download/install_callback.h"
#include "download/pacing.h"

namespace DownloadTest {

/// A glyphora-distserver child on 127.0.0.1 with a free port; stopped on destruction.
class DistServer {
public:
    /// Starts the server with `args` and waits (bounded) for its start-up lines. Check
    /// Ok() (a failed start is reported through gtest).
    explicit DistServer(const std::vector<std::string>& args);
    ~DistServer();
    DistServer(const DistServer&) = delete;
    DistServer& operator=(const DistServer&) = delete;

    bool Ok() const { return pid_ > 0 && !base_.empty(); }
    /// "http://127.0.0.1:PORT" (or https).
    const std::string& Base() const { return base_; }
    std::string Url(const std::string& path) const { return base_ + path; }
    const std::string& Md5() const { return md5_; }
    const std::string& Certificate() const { return certificate_; }
    /// The requests served so far, one "METHOD path [range]" line each.
    std::vector<std::string> Log() const;

private:
    pid_t pid_ = -1;
    int stdout_ = -1;
    std::string base_, md5_, certificate_;
};

/// A private folder under the temp folder, removed with its contents on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    std::wstring WFile(const std::string& name) const;

private:
    std::string path_;
};

struct Event {
    int32_t code;
    double value;
    std::wstring text;
};

/// Records the events of one downloader. Optionally answers DL_CODE_RETRY with `restart`,
/// from inside the event, as the orchestrator does.
class Recorder {
public:
    InstallCallback Callback();
    std::function<void()> restart;

    /// Waits (bounded) until `count` final events (SUCCESS or FAIL) arrived.
    bool WaitFinal(std::chrono::milliseconds limit = std::chrono::seconds(60), int count = 1);
    /// Waits (bounded) until an event with `code` arrived.
    bool WaitFor(int32_t code, std::chrono::milliseconds limit = std::chrono::seconds(30));
    std::vector<Event> Events() const;
    /// The codes in order, progress events (1002) left out.
    std::vector<int32_t> Codes() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Event> events_;
};

/// An expected non-progress event: code, value and text.
struct Expected {
    int32_t code;
    double value;
    std::wstring text;
};

/// "code(value) " for each non-progress event, for failure messages.
std::string Describe(const std::vector<Event>& events);

/// Compares the non-progress events with `expected`, value and text included.
void ExpectSequence(const std::vector<Event>& events, const std::vector<Expected>& expected);

/// Pacing for tests: pauses are recorded and skipped; the clock moves one second per
/// reading, so every progress callback evaluates.
struct FakePacing {
    FakePacing();
    Download::Pacing pacing;
    std::vector<int64_t> Pauses() const;  // requested pauses in ms, in order

private:
    struct State {
        std::mutex mutex;
        std::vector<int64_t> pauses;
        int64_t now = 1000000;
    };
    std::shared_ptr<State> state_;
};

/// Collects this process's trace lines while it lives. Create it before the threads that
/// trace start and destroy it after they have ended.
class TraceCapture {
public:
    TraceCapture();
    ~TraceCapture();
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;
    /// How many lines contain `text`.
    int Count(const std::wstring& text) const;

private:
    struct State {
        std::mutex mutex;
        std::vector<std::wstring> lines;
    };
    std::shared_ptr<State> state_;
};

/// Runs a `Downloader` of `url` into `target` until its final event (bounded by `limit`),
/// answering DL_CODE_RETRY with the owner's restart; the downloader is destroyed before
/// returning. Call it inside ASSERT_NO_FATAL_FAILURE: a missing final event is fatal.
template <typename Downloader>
void RunWithRestart(Recorder& recorder, const std::wstring& url, const std::wstring& target,
                    FakePacing& fake, std::chrono::milliseconds limit) {
    Downloader downloader(recorder.Callback(), url, target, fake.pacing);
    recorder.restart = [&downloader] { downloader.Start(); };
    downloader.Start();
    ASSERT_TRUE(recorder.WaitFinal(limit)) << Describe(recorder.Events());
}

/// Destroys `downloader` and expects its destructor to return within three seconds.
template <typename Downloader>
void ExpectPromptDestruction(std::unique_ptr<Downloader>& downloader) {
    const auto began = std::chrono::steady_clock::now();
    downloader.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(3));
}

/// The ASCII `text` widened character by character.
std::wstring Wide(const std::string& text);

/// Bytes [offset, offset + length) of the server's generated package.
std::string PatternBytes(uint64_t offset, size_t length);
/// Writes `bytes` to `path` (replacing it); false on failure.
bool WriteFile(const std::string& path, const std::string& bytes);
/// Size of a file, -1 when missing.
int64_t FileSize(const std::string& path);
bool Exists(const std::string& path);

}  // namespace DownloadTest
