#include "tests/analytics/test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "analytics/core/validation.h"

extern char** environ;

namespace analytics_test {

TempDir::TempDir() {
    const char* tmp = std::getenv("TMPDIR");
    std::string templ = std::string(tmp != nullptr && *tmp ? tmp : "/tmp") + "/analytics-XXXXXX";
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    if (::mkdtemp(buf.data()) != nullptr)
        path_ = buf.data();
}

TempDir::~TempDir() {
    std::error_code ec;
    if (!path_.empty())
        std::filesystem::remove_all(path_, ec);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

std::string BinPath(const std::string& name) {
    const char* bin = std::getenv("GLYPHORA_BIN");
    if (bin == nullptr || *bin == '\0')
        return {};
    return std::string(bin) + "/" + name;
}

Collector::Collector(std::vector<std::string> args, bool toStdout) {
    std::string exe = BinPath("glyphora-collector");
    if (exe.empty() || dir_.path().empty())
        return;
    std::vector<std::string> argv = {exe, "--cert-dir", dir_.path()};
    if (!toStdout) {
        argv.push_back("--output");
        argv.push_back(dir_.file("records.jsonl"));
    }
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv;
    for (auto& a : argv)
        cargv.push_back(a.data());
    cargv.push_back(nullptr);

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
    std::string errPath = dir_.file("stderr.txt");
    posix_spawn_file_actions_addopen(&fa, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int rc = ::posix_spawn(&pid_, exe.c_str(), &fa, nullptr, cargv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    ::close(fds[1]);
    if (rc != 0) {
        pid_ = -1;
        ::close(fds[0]);
        return;
    }
    // The first line names the port and the certificate; 20 s covers a loaded machine.
    std::string line;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd p{fds[0], POLLIN, 0};
        if (::poll(&p, 1, 200) <= 0)
            continue;
        char buf[512];
        ssize_t n = ::read(fds[0], buf, sizeof(buf));
        if (n <= 0)
            break;
        line.append(buf, static_cast<size_t>(n));
    }
    size_t eol = line.find('\n');
    if (toStdout && eol != std::string::npos) {
        outFd_ = fds[0];
        stdoutText_ = line.substr(eol + 1);
        ::fcntl(outFd_, F_SETFL, ::fcntl(outFd_, F_GETFL) | O_NONBLOCK);
    } else {
        ::close(fds[0]);  // records go to the output file; nothing more comes on stdout
    }
    int port = 0;
    char cert[4096] = {0};
    if (std::sscanf(line.c_str(), "port=%d cert=%4095s", &port, cert) == 2) {
        port_ = port;
        cert_ = cert;
    }
}

Collector::~Collector() {
    if (outFd_ >= 0)
        ::close(outFd_);
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
}

std::string Collector::url() const {
    return "https://127.0.0.1:" + std::to_string(port_) + "/sa?project=pc";
}

std::vector<std::string> Collector::records() const {
    if (outFd_ < 0)
        return ReadLines(dir_.file("records.jsonl"));
    char buf[4096];
    ssize_t n;
    while ((n = ::read(outFd_, buf, sizeof(buf))) > 0)
        stdoutText_.append(buf, static_cast<size_t>(n));
    std::vector<std::string> lines;
    std::stringstream ss(stdoutText_);
    std::string line;
    while (std::getline(ss, line))
        lines.push_back(line);
    return lines;
}

std::vector<std::string> Collector::waitForRecords(size_t n,
                                                   std::chrono::milliseconds timeout) const {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        auto r = records();
        if (r.size() >= n || std::chrono::steady_clock::now() >= deadline)
            return r;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::string Collector::stderrText() const {
    return ReadFile(dir_.file("stderr.txt"));
}

DiagnosticCapture::DiagnosticCapture() {
    analytics_core::SetDiagnosticSink([this](const std::string& line) {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.push_back(line);
    });
}

DiagnosticCapture::~DiagnosticCapture() {
    analytics_core::SetDiagnosticSink(nullptr);
}

std::vector<std::string> DiagnosticCapture::lines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
}

bool DiagnosticCapture::contains(const std::string& text) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& l : lines_)
        if (l.find(text) != std::string::npos)
            return true;
    return false;
}

void DiagnosticCapture::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.clear();
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) {
        had_ = true;
        old_ = old;
    }
    if (value != nullptr) {
        ::setenv(name, value, 1);
    } else {
        ::unsetenv(name);
    }
}

ScopedEnv::~ScopedEnv() {
    if (had_) {
        ::setenv(name_.c_str(), old_.c_str(), 1);
    } else {
        ::unsetenv(name_.c_str());
    }
}

}  // namespace analytics_test
