#include "download/worker_slot.h"

#include "utils/trace_log.h"

namespace Download {
namespace {

thread_local const WorkerSlot* t_slot = nullptr;

}  // namespace

bool WorkerSlot::Launch(const StopSignal& stop, std::function<void()> function) {
    std::vector<std::unique_ptr<Utils::Thread>> previous;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stop.Raised())
            return false;
        if (t_slot == this) {
            if (current_)
                retired_.push_back(std::move(current_));
        } else {
            previous = std::move(retired_);
            retired_.clear();
            if (current_)
                previous.push_back(std::move(current_));
        }
    }
    // Joined outside the lock: a worker may be calling Launch from inside its event.
    for (auto& thread : previous)
        thread->Join();

    std::lock_guard<std::mutex> lock(mutex_);
    if (stop.Raised())
        return false;
    if (current_)
        retired_.push_back(std::move(current_));
    current_ = std::make_unique<Utils::Thread>(nullptr, L"ABDEF",
                                               [this, function = std::move(function)](void*) {
                                                   t_slot = this;
                                                   function();
                                                   return 0u;
                                               });
    if (!current_->Resume()) {
        TRACE(L"worker thread could not be started");
        return false;
    }
    return true;
}

bool WorkerSlot::OnWorker() const {
    return t_slot == this;
}

void WorkerSlot::JoinAll() {
    for (;;) {
        std::vector<std::unique_ptr<Utils::Thread>> pending;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            pending = std::move(retired_);
            retired_.clear();
            if (current_)
                pending.push_back(std::move(current_));
        }
        if (pending.empty())
            return;
        for (auto& thread : pending)
            thread->Join();
    }
}

bool ThreadGroup::Spawn(const StopSignal& stop, std::function<void()> function) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stop.Raised())
        return false;
    try {
        threads_.emplace_back(std::move(function));
    } catch (const std::system_error&) {
        TRACE(L"thread creation failed");
        return false;
    }
    return true;
}

void ThreadGroup::JoinAllButSelf() {
    std::vector<std::thread> pending;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& thread : threads_) {
            if (thread.get_id() == std::this_thread::get_id())
                continue;
            pending.push_back(std::move(thread));
        }
        std::erase_if(threads_, [](const std::thread& t) { return !t.joinable(); });
    }
    for (auto& thread : pending)
        thread.join();
}

void ThreadGroup::JoinAll() {
    for (;;) {
        std::vector<std::thread> pending;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            pending = std::move(threads_);
            threads_.clear();
        }
        if (pending.empty())
            return;
        for (auto& thread : pending) {
            if (thread.joinable())
                thread.join();
        }
    }
}

}  // namespace Download
