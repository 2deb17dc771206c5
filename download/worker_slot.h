// Thread bookkeeping shared by the downloaders.
//
// A downloader's Start may be called from a foreign thread (the orchestrator) or from one of
// the downloader's own threads (the owner reacting to DL_CODE_RETRY inside the event). A
// thread can never wait for itself, so threads that start their successor are retired and
// joined later: by the next foreign Start or by destruction.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "download/pacing.h"
#include "utils/thread.h"

namespace Download {

/// The single worker of a downloader ("ABDEF"), started anew by each Start.
class WorkerSlot {
public:
    WorkerSlot() = default;
    ~WorkerSlot() { JoinAll(); }
    WorkerSlot(const WorkerSlot&) = delete;
    WorkerSlot& operator=(const WorkerSlot&) = delete;

    /// Waits for the previous workers (unless called on one of them), then starts a new
    /// named worker running `function`. Does nothing once `stop` is raised. False when no
    /// worker runs (stopped, or the system refused a thread).
    bool Launch(const StopSignal& stop, std::function<void()> function);
    /// True on a thread started by this slot.
    bool OnWorker() const;
    /// Waits for every worker started so far, including those started while waiting.
    /// Call after raising the stop signal, never from a worker.
    void JoinAll();

private:
    std::mutex mutex_;
    std::unique_ptr<Utils::Thread> current_;
    std::vector<std::unique_ptr<Utils::Thread>> retired_;
};

/// Helper threads of one downloader (part transfers, the waiter). Each is joined by
/// JoinFinished or JoinAll, never detached, so nothing outlives the downloader.
class ThreadGroup {
public:
    ~ThreadGroup() { JoinAll(); }

    /// Starts `function` on a new thread; false (and nothing started) once `stop` is raised
    /// or when the system refuses a thread.
    bool Spawn(const StopSignal& stop, std::function<void()> function);
    /// Joins every thread except the calling one (which is kept for later).
    void JoinAllButSelf();
    /// Joins every thread, including those spawned while waiting. Never from a member.
    void JoinAll();

private:
    std::mutex mutex_;
    std::vector<std::thread> threads_;
};

}  // namespace Download
