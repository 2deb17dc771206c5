// Flush scheduling: when and on which thread queued records are sent.
//
// A flush runs on the reporting thread while the last send succeeded, and on a newly
// started detached thread while it has not (so a dead collector never blocks a reporter).
// Flush jobs are serialised by the process-wide flush mutex; Sdk::shutdown takes it too,
// so the queue is never destroyed under a running job.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>

namespace analytics_core {

/// Counts reports waiting for a flush; only "greater than zero" is ever tested. Shared so a
/// detached flush job can never outlive the counter it updates.
using PendingCounter = std::atomic<int32_t>;
using PendingCounterPtr = std::shared_ptr<PendingCounter>;

/// Attempts of a flush-now job.
constexpr int kFlushAttempts = 3;

/// The process-wide flush mutex (never destroyed).
std::mutex& FlushMutex();

/// The flush job, on the calling thread. flushNow: up to 3 attempts while the counter is
/// above 0; an attempt succeeds when the core exists and flushes all its records, which
/// sets the counter to 0; between attempts it sleeps 1 ms. Otherwise: sleeps 1 ms and
/// raises the counter by 1 (the records wait for a later flush). Never throws.
void FlushJob(bool flushNow, const PendingCounterPtr& pending);

/// Called after every report. With LastSendOk() the job runs on the calling thread;
/// otherwise "[analytics] Sending messages asynchronously" goes to the trace log and the job
/// runs on a new detached thread while the call returns at once. A null counter does
/// nothing.
void RequestFlush(bool flushNow, PendingCounterPtr pending);

/// Number of detached flush jobs started and not yet finished.
int DetachedFlushJobs();

/// Waits until no detached flush job is running, at most `timeout`. True when none is.
bool WaitForDetachedFlushJobs(std::chrono::milliseconds timeout);

}  // namespace analytics_core
