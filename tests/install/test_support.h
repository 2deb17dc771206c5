// Shared helpers of the installation tests: private folders, the fixture programs, an
// event recorder that waits with a bound, and scoped environment variables.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "install/install_events.h"

namespace install_test {

/// `s` (UTF-8) as a wide string.
std::wstring W(const std::string& s);

/// The product's registry value `name`, or "<missing>" when it cannot be read.
std::wstring Reg(const wchar_t* name);

/// The value of `key` in `section` of the profile `file`, or "<missing>".
std::wstring Ini(const std::string& file, const wchar_t* section, const wchar_t* key);

/// A private folder under the system temporary folder, removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::wstring wpath() const;
    std::string Join(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

/// build/bin/<name> (from GLYPHORA_BIN).
std::string BinPath(const std::string& name);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& content);
bool Exists(const std::string& path);

/// Sets an environment variable for the scope and restores the old value.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value);
    ~ScopedEnv();

private:
    std::string name_;
    std::optional<std::string> old_;
};

struct Event {
    int32_t code;
    double value;
    std::wstring text;
};

/// "code:value:text" lines, for failure messages.
std::string Dump(const std::vector<Event>& events);

/// Records events from any thread; waits for a code with a time bound.
class EventRecorder {
public:
    InstallCallback Callback();
    void Add(int32_t code, double value, const wchar_t* text);
    /// True when an event with `code` arrived within `timeout`.
    bool WaitFor(int32_t code, std::chrono::milliseconds timeout = std::chrono::seconds(20));
    /// True when any of the codes arrived within `timeout`.
    bool WaitForAny(const std::vector<int32_t>& codes,
                    std::chrono::milliseconds timeout = std::chrono::seconds(20));
    std::vector<Event> Events() const;
    std::vector<int32_t> Codes() const;
    /// "code:value:text" lines, for failure messages.
    std::string Dump() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Event> events_;
};

/// glyphora-distserver on 127.0.0.1 serving `file`, stopped (SIGTERM, then SIGKILL) and
/// reaped on destruction. `Url()` is empty when it did not start within 10 s.
class DistServer {
public:
    explicit DistServer(const std::string& file, const std::vector<std::string>& extra = {});
    ~DistServer();
    DistServer(const DistServer&) = delete;
    DistServer& operator=(const DistServer&) = delete;
    /// The download address (redirecting to the digest address).
    const std::string& Url() const { return url_; }
    /// The base "http://127.0.0.1:port".
    const std::string& Base() const { return base_; }

private:
    int pid_ = -1;
    std::string url_;
    std::string base_;
};

struct ProcessResult {
    int exitCode = -1;   ///< -1 when it did not end in time (it is then killed)
    std::string output;  ///< standard output and error together
};

/// Runs `argv` with `env` added to this process's environment, waits at most `timeout`.
ProcessResult RunProcess(const std::vector<std::string>& argv,
                         const std::vector<std::pair<std::string, std::string>>& env,
                         std::chrono::milliseconds timeout = std::chrono::seconds(60));

/// An exclusive lock across test processes for tests that run or look for processes of a
/// fixed name ("Glyphora_un_asa.exe"), which would disturb each other when run side by side.
class ProcessNameLock {
public:
    ProcessNameLock();
    ~ProcessNameLock();

private:
    int fd_ = -1;
};

}  // namespace install_test
