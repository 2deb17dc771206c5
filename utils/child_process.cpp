#include "utils/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "utils/command_line.h"
#include "utils/text.h"
#include "utils/trace_log.h"

extern char** environ;

namespace Utils {
namespace {

constexpr size_t kReadSize = 1024;                // one read of the child's output
constexpr int kExitPollSliceMs = 20;              // exit polling when there is no pidfd
constexpr size_t kDrainLimitAfterExit = 1 << 20;  // bytes read once the child has ended

void SetNonBlocking(int fd) {
    if (fd < 0)
        return;
    int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

// Reads whatever is available without blocking and discards it. False at end of file.
bool DrainDiscard(int fd) {
    char buffer[16384];
    for (;;) {
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0)
            continue;
        if (got == 0)
            return false;
        if (errno == EINTR)
            continue;
        return errno == EAGAIN || errno == EWOULDBLOCK;
    }
}

}  // namespace

// [SECTION] ChildProcess

ChildProcess::~ChildProcess() {
    if (pidfd_ >= 0)
        ::close(pidfd_);
    if (pid_ > 0 && !ended_)
        HasEnded();  // reap an ended child; never kill a running one
}

void ChildProcess::Launch(const std::wstring& commandLine) {
    Launch(SplitCommandLine(commandLine), commandLine);
}

void ChildProcess::Launch(const std::vector<std::wstring>& arguments,
                          const std::wstring& commandLine) {
    commandLine_ = commandLine.empty() ? JoinCommandLine(arguments) : commandLine;
    std::vector<std::string> argv;
    for (const std::wstring& arg : arguments)
        argv.push_back(ToNarrow(arg, kCodePageSystem));
    if (argv.empty() || argv[0].empty() || pid_ > 0 || error_.WriteEnd() < 0 ||
        output_.WriteEnd() < 0 || input_.ReadEnd() < 0) {
        TRACE(L"cannot launch \"%ls\": no program or pipes missing\r\n", commandLine_.c_str());
        throw Exception("");
    }
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
    // The child's ends become its standard streams (dup2 clears close-on-exec on the copy).
    posix_spawn_file_actions_adddup2(&actions, input_.ReadEnd(), 0);
    posix_spawn_file_actions_adddup2(&actions, output_.WriteEnd(), 1);
    posix_spawn_file_actions_adddup2(&actions, error_.WriteEnd(), 2);
    // Descriptors this process inherited without close-on-exec stay out of the child too.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    // The child starts with default signal handling and an empty mask, whatever the
    // installer set for itself (an ignored SIGPIPE would otherwise be inherited).
    sigset_t defaults, empty;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGCHLD);
    sigemptyset(&empty);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setsigmask(&attr, &empty);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    int rc = ::posix_spawn(&pid, argv[0].c_str(), &actions, &attr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) {
        TRACE(L"posix_spawn \"%ls\" failed errno=%d\r\n", commandLine_.c_str(), rc);
        throw Exception("");
    }
    pid_ = pid;
#ifdef SYS_pidfd_open
    pidfd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
    if (pidfd_ >= 0)
        ::fcntl(pidfd_, F_SETFD, FD_CLOEXEC);
#endif
    // The ends that now belong to the child are closed here, so a read of the output
    // reports the end of file once the child (and whatever inherited them) is gone.
    output_.CloseWriteEnd();
    error_.CloseWriteEnd();
    input_.CloseReadEnd();
}

bool ChildProcess::HasEnded() {
    if (ended_ || pid_ <= 0)
        return true;
    int status = 0;
    pid_t r;
    do {
        r = ::waitpid(pid_, &status, WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == 0)
        return false;
    ended_ = true;
    if (r == pid_) {
        status_ = WIFEXITED(status) ? WEXITSTATUS(status)
                                    : (WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1);
    }
    return true;
}

int ChildProcess::Wait() {
    if (pid_ <= 0)
        return -1;
    if (!ended_) {
        int status = 0;
        pid_t r;
        do {
            r = ::waitpid(pid_, &status, 0);
        } while (r < 0 && errno == EINTR);
        ended_ = true;
        if (r == pid_) {
            status_ = WIFEXITED(status) ? WEXITSTATUS(status)
                                        : (WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1);
        }
    }
    return status_;
}

// [SECTION] LineAssembler

void LineAssembler::Feed(std::string_view bytes,
                         const std::function<void(std::string_view)>& onLine) {
    // Appends a piece of one line, handing over full pieces of maxLine_ bytes.
    auto append = [&](std::string_view piece) {
        while (maxLine_ > 0 && pending_.size() + piece.size() > maxLine_) {
            size_t take = maxLine_ - pending_.size();
            pending_.append(piece.substr(0, take));
            onLine(pending_);
            pending_.clear();
            piece.remove_prefix(take);
        }
        pending_.append(piece);
    };
    while (!bytes.empty()) {
        size_t lf = bytes.find('\n');
        if (lf == std::string_view::npos) {
            append(bytes);
            return;
        }
        append(bytes.substr(0, lf));
        onLine(pending_);
        pending_.clear();
        bytes.remove_prefix(lf + 1);
    }
}

void LineAssembler::Flush(const std::function<void(std::string_view)>& onLine) {
    if (pending_.empty())
        return;
    std::string rest;
    rest.swap(pending_);
    onLine(rest);
}

// [SECTION] Output pump

bool PumpOutput(ChildProcess& child, const int32_t& codePage, const LineParser& parser,
                PumpVariant variant, std::chrono::milliseconds pause) {
    const int out = child.OutputReadEnd();
    const int err = child.ErrorReadEnd();
    SetNonBlocking(out);
    SetNonBlocking(err);
    bool outOpen = out >= 0, errOpen = err >= 0;
    bool finalReported = false;
    bool parsing = true;
    LineAssembler lines;

    auto deliver = [&](std::string_view raw) {
        if (!parsing)
            return;
        std::wstring text = ToWide(raw, static_cast<unsigned>(codePage));
        if (parser(text) != 0)
            finalReported = true;
    };
    // One read of at most kReadSize bytes; false at end of file or on a hard error.
    auto readOnce = [&]() -> bool {
        char buffer[kReadSize];
        ssize_t got;
        do {
            got = ::read(out, buffer, sizeof buffer);
        } while (got < 0 && errno == EINTR);
        if (got > 0) {
            lines.Feed(std::string_view(buffer, static_cast<size_t>(got)), deliver);
            return true;
        }
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;
        return false;
    };
    // Waits up to `ms` (negative: without limit) for output, error output or the child's
    // end, draining the error stream meanwhile.
    auto waitEvents = [&](int ms, bool wantOutput) -> bool {
        pollfd fds[3];
        int count = 0, outIndex = -1, errIndex = -1;
        if (outOpen && wantOutput)
            outIndex = count, fds[count++] = {out, POLLIN, 0};
        if (errOpen)
            errIndex = count, fds[count++] = {err, POLLIN, 0};
        if (child.ExitDescriptor() >= 0)
            fds[count++] = {child.ExitDescriptor(), POLLIN, 0};
        else if (ms < 0 || ms > kExitPollSliceMs)
            ms = kExitPollSliceMs;
        int r = ::poll(fds, static_cast<nfds_t>(count), ms);
        if (r <= 0)
            return false;
        if (errIndex >= 0 && fds[errIndex].revents)
            errOpen = DrainDiscard(err);
        return outIndex >= 0 && fds[outIndex].revents != 0;
    };

    for (;;) {
        if (child.HasEnded())
            break;
        bool outputReady = waitEvents(-1, true);
        if (outputReady) {
            outOpen = readOnce();
            if (finalReported && variant == PumpVariant::kPackage)
                parsing = false;
        }
        if (variant == PumpVariant::kPackage && pause.count() > 0) {
            auto deadline = std::chrono::steady_clock::now() + pause;
            for (;;) {
                auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now());
                if (left.count() <= 0 || child.HasEnded())
                    break;
                waitEvents(static_cast<int>(left.count()), false);
            }
        }
    }
    // The child has ended: take what it left in the pipe (bounded, since a process that
    // inherited the pipe may still be writing), then its last unterminated line.
    size_t drained = 0;
    while (outOpen && drained < kDrainLimitAfterExit) {
        char buffer[kReadSize];
        ssize_t got = ::read(out, buffer, sizeof buffer);
        if (got > 0) {
            lines.Feed(std::string_view(buffer, static_cast<size_t>(got)), deliver);
            if (finalReported && variant == PumpVariant::kPackage)
                parsing = false;
            drained += static_cast<size_t>(got);
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        break;
    }
    lines.Flush(deliver);
    child.Wait();
    return !finalReported;
}

}  // namespace Utils
