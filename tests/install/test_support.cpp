#include "tests/install/test_support.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "utils/text.h"

namespace install_test {

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/glyphora-install-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) != nullptr) path_ = buffer.data();
}

TempDir::~TempDir() {
    if (path_.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::wstring TempDir::wpath() const { return Utils::ToWide(path_, Utils::kCodePageUtf8); }

std::string BinPath(const std::string& name) {
    const char* bin = std::getenv("GLYPHORA_BIN");
    return std::string(bin && *bin ? bin : "build/bin") + "/" + name;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

bool Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
    if (old_) ::setenv(name_.c_str(), old_->c_str(), 1);
    else ::unsetenv(name_.c_str());
}

InstallCallback EventRecorder::Callback() {
    return [this](int32_t code, double value, const wchar_t* text) { Add(code, value, text); };
}

void EventRecorder::Add(int32_t code, double value, const wchar_t* text) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back({code, value, text ? text : L""});
    }
    changed_.notify_all();
}

bool EventRecorder::WaitFor(int32_t code, std::chrono::milliseconds timeout) {
    return WaitForAny({code}, timeout);
}

bool EventRecorder::WaitForAny(const std::vector<int32_t>& codes,
                               std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] {
        for (const Event& e : events_) {
            for (int32_t c : codes) {
                if (e.code == c) return true;
            }
        }
        return false;
    });
}

std::vector<Event> EventRecorder::Events() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
}

std::vector<int32_t> EventRecorder::Codes() const {
    std::vector<int32_t> codes;
    for (const Event& e : Events()) codes.push_back(e.code);
    return codes;
}

std::string EventRecorder::Dump() const { return install_test::Dump(Events()); }

std::string Dump(const std::vector<Event>& events) {
    std::string out;
    for (const Event& e : events) {
        out += std::to_string(e.code) + ":" + std::to_string(e.value) + ":" +
               Utils::ToNarrow(e.text, Utils::kCodePageUtf8) + "\n";
    }
    return out;
}

ProcessNameLock::ProcessNameLock() {
    fd_ = ::open("/tmp/glyphora-install-tests.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ >= 0) ::flock(fd_, LOCK_EX);
}

ProcessNameLock::~ProcessNameLock() {
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace install_test
