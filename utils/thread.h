// A named worker thread that is created suspended, started by its owner and joined on
// destruction.
//
// The owner creates, resumes, joins and destroys the object on one thread; destroying it
// from its own thread would wait for itself. A thread that was never resumed is cancelled
// on destruction: its function does not run (waiting for it would never end).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace Utils {

class Thread {
public:
    using Function = std::function<uint32_t(void*)>;

    /// Starts the thread suspended. `name` is shown to debuggers (the first 15 bytes of its
    /// narrow form on this OS); an empty name gives "t" plus the thread id.
    Thread(void* parameter, std::wstring name, Function function);
    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    /// Lets the thread run its function. False when there is no thread or it already ran.
    bool Resume();
    /// Waits without limit for the thread to end; afterwards ThreadId() is -1.
    void Join();

    /// The kernel thread id, or (uint32_t)-1 once joined or when the thread does not exist.
    uint32_t ThreadId() const { return threadId_; }
    bool Joinable() const { return thread_.joinable(); }
    const std::wstring& Name() const { return name_; }

private:
    void CallBack();

    uint32_t threadId_ = static_cast<uint32_t>(-1);
    std::thread thread_;
    Function function_;
    void* parameter_;
    std::wstring name_;

    std::mutex gateMutex_;
    std::condition_variable gate_;
    enum class Gate { kWaiting, kRun, kCancel } gateState_ = Gate::kWaiting;
    bool started_ = false;  // the thread has published its id
};

}  // namespace Utils
