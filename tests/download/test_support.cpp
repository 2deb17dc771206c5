#include "tests/download/test_support.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tools/distserver/pattern.h"
#include "utils/text.h"
#include "utils/trace_log.h"

extern char** environ;

namespace DownloadTest {
namespace {

// libcurl's global state for the whole test program, as the installer's start-up does.
class CurlEnvironment : public testing::Environment {
public:
    void SetUp() override { curl_global_init(CURL_GLOBAL_ALL); }
    void TearDown() override { curl_global_cleanup(); }
};
[[maybe_unused]] testing::Environment* const g_curl =
    testing::AddGlobalTestEnvironment(new CurlEnvironment);

std::string BinDir() {
    const char* bin = std::getenv("GLYPHORA_BIN");
    return bin && *bin ? bin : "build/bin";
}

size_t Append(char* data, size_t size, size_t count, void* out) {
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

}  // namespace

DistServer::DistServer(const std::vector<std::string>& args) {
    const std::string program = BinDir() + "/glyphora-distserver";
    std::vector<std::string> all = {program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& arg : all)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe failed";
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    stdout_ = fds[0];
    if (rc != 0) {
        ADD_FAILURE() << "cannot start " << program << ": " << std::strerror(rc);
        return;
    }
    pid_ = pid;

    // Start-up lines, bounded: generating and hashing a test package takes well under this.
    const bool tls = std::find(args.begin(), args.end(), "--https") != args.end();
    std::string output;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    auto complete = [&] {
        return output.find("\nsize ") != std::string::npos &&
               output.find('\n', output.find("\nsize ") + 1) != std::string::npos &&
               (!tls ||
                (output.find("\ncertificate ") != std::string::npos && output.back() == '\n'));
    };
    while (!complete() && std::chrono::steady_clock::now() < deadline) {
        pollfd p{stdout_, POLLIN, 0};
        if (::poll(&p, 1, 200) <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = ::read(stdout_, buffer, sizeof buffer);
        if (n <= 0)
            break;
        output.append(buffer, size_t(n));
    }
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("listening on ", 0) == 0)
            base_ = line.substr(13);
        if (line.rfind("md5 ", 0) == 0)
            md5_ = line.substr(4);
        if (line.rfind("certificate ", 0) == 0)
            certificate_ = line.substr(12);
    }
    if (!complete())
        ADD_FAILURE() << "server did not start; output: " << output;
}

DistServer::~DistServer() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        bool ended = false;
        for (int i = 0; i < 100 && !ended; ++i) {  // at most 5 s
            ended = ::waitpid(pid_, &status, WNOHANG) == pid_;
            if (!ended)
                ::usleep(50000);
        }
        if (!ended) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
        }
    }
    if (stdout_ >= 0)
        ::close(stdout_);
}

std::vector<std::string> DistServer::Log() const {
    std::string body;
    CURL* handle = curl_easy_init();
    if (!handle)
        return {};
    const std::string url = Url("/_log");
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, Append);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT, 10L);
    if (!certificate_.empty())
        curl_easy_setopt(handle, CURLOPT_CAINFO, certificate_.c_str());
    const CURLcode rc = curl_easy_perform(handle);
    curl_easy_cleanup(handle);
    EXPECT_EQ(rc, CURLE_OK) << "cannot read the server's request log";
    std::vector<std::string> lines;
    std::istringstream in(body);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

TempDir::TempDir() {
    std::string pattern = std::filesystem::temp_directory_path() / "glyphora-dl-XXXXXX";
    if (::mkdtemp(pattern.data()))
        path_ = pattern;
    EXPECT_FALSE(path_.empty()) << "mkdtemp failed";
}

TempDir::~TempDir() {
    std::error_code ignored;
    if (!path_.empty())
        std::filesystem::remove_all(path_, ignored);
}

std::wstring TempDir::WFile(const std::string& name) const {
    return Utils::ToWide(File(name), Utils::kCodePageSystem);
}

InstallCallback Recorder::Callback() {
    return [this](int32_t code, double value, const wchar_t* text) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            events_.push_back({code, value, text ? text : L""});
        }
        changed_.notify_all();
        if (code == DL_CODE_RETRY && restart)
            restart();
    };
}

bool Recorder::WaitFinal(std::chrono::milliseconds limit, int count) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, limit, [&] {
        int finals = 0;
        for (const auto& e : events_) {
            if (e.code == DL_CODE_SUCCESS || e.code == DL_CODE_FAIL)
                ++finals;
        }
        return finals >= count;
    });
}

bool Recorder::WaitFor(int32_t code, std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, limit, [&] {
        for (const auto& e : events_) {
            if (e.code == code)
                return true;
        }
        return false;
    });
}

std::vector<Event> Recorder::Events() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
}

std::vector<int32_t> Recorder::Codes() const {
    std::vector<int32_t> codes;
    for (const auto& e : Events()) {
        if (e.code != DL_CODE_PROGRESS)
            codes.push_back(e.code);
    }
    return codes;
}

FakePacing::FakePacing() : state_(std::make_shared<State>()) {
    auto state = state_;
    pacing.sleep = [state](std::chrono::milliseconds duration) {
        std::lock_guard<std::mutex> lock(state->mutex);
        state->pauses.push_back(duration.count());
    };
    pacing.nowSeconds = [state] {
        std::lock_guard<std::mutex> lock(state->mutex);
        return ++state->now;
    };
}

std::vector<int64_t> FakePacing::Pauses() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->pauses;
}

TraceCapture::TraceCapture() : state_(std::make_shared<State>()) {
    Utils::SetTraceSink([state = state_](const std::wstring& line) {
        std::lock_guard<std::mutex> lock(state->mutex);  // lines come from several threads
        state->lines.push_back(line);
    });
}

TraceCapture::~TraceCapture() {
    Utils::SetTraceSink(nullptr);
}

int TraceCapture::Count(const std::wstring& text) const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    int count = 0;
    for (const auto& line : state_->lines)
        count += line.find(text) != std::wstring::npos;
    return count;
}

std::string Describe(const std::vector<Event>& events) {
    std::string out;
    for (const auto& e : events) {
        if (e.code == DL_CODE_PROGRESS)
            continue;
        out += std::to_string(e.code) + "(" + std::to_string(e.value) + ") ";
    }
    return out;
}

void ExpectSequence(const std::vector<Event>& events, const std::vector<Expected>& expected) {
    std::vector<Event> finals;
    for (const auto& e : events) {
        if (e.code != DL_CODE_PROGRESS)
            finals.push_back(e);
    }
    ASSERT_EQ(finals.size(), expected.size()) << "got " << Describe(events);
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("event " + std::to_string(i) + " of " + Describe(events));
        EXPECT_EQ(finals[i].code, expected[i].code);
        EXPECT_EQ(finals[i].value, expected[i].value);
        EXPECT_EQ(finals[i].text, expected[i].text);
    }
}

std::wstring Wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

std::string PatternBytes(uint64_t offset, size_t length) {
    std::string bytes(length, '\0');
    ::DistServer::FillPattern(offset, bytes.data(), length);
    return bytes;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    return bool(out);
}

int64_t FileSize(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 ? int64_t(info.st_size) : -1;
}

bool Exists(const std::string& path) {
    return FileSize(path) >= 0;
}

}  // namespace DownloadTest
