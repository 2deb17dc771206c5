// A hidden child program with its three standard streams on pipes, and the output pump
// that feeds the child's standard output, line by line, to a parser.
//
// Used by the uninstaller and package runners (install/). The child is never terminated
// by the installer; the pump waits for it on the process itself (not on an exit-code
// value), so a child that exits with any code, 259 included, ends the pump.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "utils/pipe.h"

namespace Utils {

/// A child process whose standard input, output and error are pipes to the installer.
///
/// Used in a fixed order: construct; CreateErrorPipe, CreateOutputPipe, CreateInputPipe;
/// Launch. Only the child's ends of the three pipes reach the child (as descriptors 0, 1
/// and 2); everything else the installer holds stays close-on-exec. One thread uses an
/// object at a time.
class ChildProcess {
public:
    ChildProcess() = default;
    /// Closes every descriptor still open and reaps the child if it has already ended. A
    /// child still running is left running (it is never killed).
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    void CreateErrorPipe() { error_.Create(); }
    void CreateOutputPipe() { output_.Create(); }
    void CreateInputPipe() { input_.Create(); }

    /// Starts the program named by the first argument of `commandLine`, split with the
    /// Windows command-line rules (blanks separate, double quotes group, backslashes
    /// escape quotes), in the installer's current folder and environment. There is no
    /// length limit. Throws Utils::Exception with an empty message when the process cannot
    /// be created (missing file, not executable, empty command line, pipes not created).
    void Launch(const std::wstring& commandLine);
    /// The same with the arguments given directly (the first is the program path), for a
    /// caller whose last argument must reach the child whole, blanks included.
    /// `commandLine` is the line shown in traces (joined from the arguments when empty).
    void Launch(const std::vector<std::wstring>& arguments, const std::wstring& commandLine);

    /// The installer's end of the child's standard output (-1 before Launch).
    int OutputReadEnd() const { return output_.ReadEnd(); }
    /// The installer's end of the child's standard error (-1 before Launch).
    int ErrorReadEnd() const { return error_.ReadEnd(); }
    /// The installer's end of the child's standard input (-1 before Launch).
    int InputWriteEnd() const { return input_.WriteEnd(); }
    pid_t ProcessId() const { return pid_; }
    const std::wstring& CommandLine() const { return commandLine_; }

    /// True once the child has ended (reaps it without blocking).
    bool HasEnded();
    /// Blocks until the child has ended; its exit status: the exit code, or 128 plus the
    /// signal number for a child killed by a signal; -1 when there is no child.
    int Wait();
    /// A descriptor that becomes readable when the child ends, or -1 when the kernel
    /// offers none (callers then poll HasEnded).
    int ExitDescriptor() const { return pidfd_; }

private:
    std::wstring commandLine_;
    Pipe error_;
    Pipe output_;
    Pipe input_;
    pid_t pid_ = -1;
    int pidfd_ = -1;
    bool ended_ = false;
    int status_ = -1;
};

/// Reassembles lines from bytes that arrive in arbitrary pieces. A line ends at each line
/// feed, which is not part of it; a carriage return stays. A line longer than the limit is
/// handed over in pieces of `maxLine` bytes, so a child without line feeds cannot make the
/// installer hold unbounded memory.
class LineAssembler {
public:
    static constexpr size_t kDefaultMaxLine = 64 * 1024;
    explicit LineAssembler(size_t maxLine = kDefaultMaxLine) : maxLine_(maxLine) {}

    /// Appends bytes and calls `onLine` for every line completed by them, in order.
    void Feed(std::string_view bytes, const std::function<void(std::string_view)>& onLine);
    /// Hands over the unterminated rest, if any (the child's last line without a line
    /// feed), and empties the buffer.
    void Flush(const std::function<void(std::string_view)>& onLine);
    bool Empty() const { return pending_.empty(); }

private:
    size_t maxLine_;
    std::string pending_;
};

/// How the pump behaves after a final state and between reads.
enum class PumpVariant {
    kUninstaller,  ///< keeps parsing after a final state until the child ends; no pause
    kPackage,      ///< stops parsing at the first final state; pauses after every pass
};

/// Given one decoded line (without its line feed): non-zero when it reported a final state.
using LineParser = std::function<int(const std::wstring& line)>;

/// Runs the output pump over a launched child until the child has ended.
///
/// Reads the child's standard output in reads of at most 1024 bytes, reassembles lines,
/// decodes each line with `codePage` as it stands when the line is complete (the parser may
/// change it, so an "Encode=" line applies from the next line on) and gives it to `parser`.
/// The child's standard error is drained and discarded throughout, so a child writing much
/// to it never blocks. In the package variant the pump stops parsing after the read whose
/// lines reported a final state (the remaining lines of that read are still parsed) and
/// then only drains the child's output until it ends; it waits `pause` after every pass.
/// A final line without a line feed is parsed when the child ends. Returns true when no
/// parser call returned non-zero. Runs on the caller's thread; the parser is called there.
bool PumpOutput(ChildProcess& child, const int32_t& codePage, const LineParser& parser,
                PumpVariant variant, std::chrono::milliseconds pause);

/// The package variant's pause between reads.
constexpr std::chrono::milliseconds kPackagePumpPause{100};

}  // namespace Utils
