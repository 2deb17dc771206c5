#include "utils/thread.h"

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "utils/text.h"
#include "utils/trace_log.h"

namespace Utils {

Thread::Thread(void* parameter, std::wstring name, Function function)
    : function_(std::move(function)), parameter_(parameter), name_(std::move(name)) {
    try {
        thread_ = std::thread([this] { CallBack(); });
    } catch (const std::system_error&) {
        TRACE(L"thread creation failed\r\n");
        return;
    }
    // Wait until the new thread has published its id, so ThreadId() is valid at once, as
    // it is for a thread the system creates suspended.
    std::unique_lock<std::mutex> lock(gateMutex_);
    gate_.wait(lock, [this] { return started_; });
    std::string narrow = name_.empty() ? "t" + std::to_string(threadId_)
                                       : ToNarrow(name_, kCodePageSystem);
    if (narrow.size() > 15) narrow.resize(15);  // the kernel's limit for thread names
    pthread_setname_np(thread_.native_handle(), narrow.c_str());
}

Thread::~Thread() {
    {
        std::lock_guard<std::mutex> lock(gateMutex_);
        if (gateState_ == Gate::kWaiting) gateState_ = Gate::kCancel;
    }
    gate_.notify_all();
    Join();
}

bool Thread::Resume() {
    if (!thread_.joinable()) return false;
    {
        std::lock_guard<std::mutex> lock(gateMutex_);
        if (gateState_ != Gate::kWaiting) return false;
        gateState_ = Gate::kRun;
    }
    gate_.notify_all();
    return true;
}

void Thread::Join() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) {
        thread_.join();
        threadId_ = static_cast<uint32_t>(-1);
    }
}

void Thread::CallBack() {
    Gate state;
    {
        std::unique_lock<std::mutex> lock(gateMutex_);
        threadId_ = static_cast<uint32_t>(::syscall(SYS_gettid));
        started_ = true;
        gate_.notify_all();
        gate_.wait(lock, [this] { return gateState_ != Gate::kWaiting; });
        state = gateState_;
    }
    if (state != Gate::kRun) return;
    TRACE(L"THREAD BEGIN\r\n");
    if (function_) function_(parameter_);
    TRACE(L"THREAD END\r\n");
}

}  // namespace Utils
