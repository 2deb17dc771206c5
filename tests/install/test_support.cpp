#include "tests/install/test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "utils/profile.h"
#include "utils/registry.h"
#include "utils/text.h"

extern char** environ;

namespace install_test {

std::wstring W(const std::string& s) {
    return Utils::ToWide(s, Utils::kCodePageUtf8);
}

std::wstring Reg(const wchar_t* name) {
    uint32_t type = 0;
    std::wstring text;
    return Utils::ReadRegString(name, &type, &text) ? text : L"<missing>";
}

std::wstring Ini(const std::string& file, const wchar_t* section, const wchar_t* key) {
    return Utils::ReadProfileString(file, section, key, L"<missing>");
}

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/glyphora-install-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) != nullptr)
        path_ = buffer.data();
}

TempDir::~TempDir() {
    if (path_.empty())
        return;
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::wstring TempDir::wpath() const {
    return Utils::ToWide(path_, Utils::kCodePageUtf8);
}

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

bool Exists(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0;
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name))
        old_ = old;
    ::setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
    if (old_)
        ::setenv(name_.c_str(), old_->c_str(), 1);
    else
        ::unsetenv(name_.c_str());
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
                if (e.code == c)
                    return true;
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
    for (const Event& e : Events())
        codes.push_back(e.code);
    return codes;
}

std::string EventRecorder::Dump() const {
    return install_test::Dump(Events());
}

std::string Dump(const std::vector<Event>& events) {
    std::string out;
    for (const Event& e : events) {
        out += std::to_string(e.code) + ":" + std::to_string(e.value) + ":" +
               Utils::ToNarrow(e.text, Utils::kCodePageUtf8) + "\n";
    }
    return out;
}

namespace {

// Waits for `pid` at most `timeout`; kills it when it is still running then.
int WaitBounded(pid_t pid, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    for (;;) {
        pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (r < 0)
            return -1;
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        ::usleep(10000);
    }
}

pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
            int stdoutFd) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, stdoutFd, 1);
    posix_spawn_file_actions_adddup2(&actions, stdoutFd, 2);
    std::vector<char*> args, envp;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (const std::string& e : env)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, args.data(), envp.data()) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

std::vector<std::string> Environment(
    const std::vector<std::pair<std::string, std::string>>& extra) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        bool replaced = false;
        for (const auto& [name, value] : extra)
            replaced |= entry.rfind(name + "=", 0) == 0;
        if (!replaced)
            env.push_back(entry);
    }
    for (const auto& [name, value] : extra)
        env.push_back(name + "=" + value);
    return env;
}

}  // namespace

DistServer::DistServer(const std::string& file, const std::vector<std::string>& extra) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return;
    std::vector<std::string> argv = {BinPath("glyphora-distserver"), "--file", file, "--port", "0"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    pid_ = Spawn(argv, Environment({}), fds[1]);
    ::close(fds[1]);
    std::string text;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (pid_ > 0 && std::chrono::steady_clock::now() < deadline) {
        pollfd p{fds[0], POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        char buffer[512];
        ssize_t got = ::read(fds[0], buffer, sizeof buffer);
        if (got <= 0)
            break;
        text.append(buffer, static_cast<size_t>(got));
        size_t at = text.find("\ndownload ");
        if (at != std::string::npos && text.find('\n', at + 1) != std::string::npos) {
            size_t begin = at + 10;
            url_ = text.substr(begin, text.find('\n', begin) - begin);
            const std::string listening = "listening on ";
            size_t l = text.find(listening);
            if (l != std::string::npos) {
                size_t b = l + listening.size();
                base_ = text.substr(b, text.find('\n', b) - b);
            }
            break;
        }
    }
    ::close(fds[0]);  // the server's later lines go nowhere (it ignores a broken pipe)
}

DistServer::~DistServer() {
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGTERM);
    if (WaitBounded(pid_, std::chrono::seconds(5)) == -1)
        return;
}

ProcessResult RunProcess(const std::vector<std::string>& argv,
                         const std::vector<std::pair<std::string, std::string>>& env,
                         std::chrono::milliseconds timeout) {
    ProcessResult result;
    char path[] = "/tmp/glyphora-run-XXXXXX";
    int fd = ::mkstemp(path);
    if (fd < 0)
        return result;
    ::unlink(path);
    pid_t pid = Spawn(argv, Environment(env), fd);
    if (pid > 0)
        result.exitCode = WaitBounded(pid, timeout);
    ::lseek(fd, 0, SEEK_SET);
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
        result.output.append(buffer, got);
    ::close(fd);
    return result;
}

ProcessNameLock::ProcessNameLock() {
    fd_ = ::open("/tmp/glyphora-install-tests.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ >= 0)
        ::flock(fd_, LOCK_EX);
}

ProcessNameLock::~ProcessNameLock() {
    if (fd_ >= 0)
        ::close(fd_);
}

}  // namespace install_test
