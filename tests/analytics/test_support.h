// Test support for the analytics tests: a glyphora-collector child process, private temp
// folders and captured diagnostics.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace analytics_test {

/// A private folder from mkdtemp, removed with its contents on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& text);
std::vector<std::string> ReadLines(const std::string& path);

/// $GLYPHORA_BIN/<name>, or an empty string when GLYPHORA_BIN is unset.
std::string BinPath(const std::string& name);

/// Runs glyphora-collector from $GLYPHORA_BIN with `args` plus an output file and a
/// certificate folder of its own; stops it (SIGTERM, then SIGKILL after 5 s) on destruction.
class Collector {
public:
    /// With `toStdout` the records are read from the collector's standard output (after its
    /// first line) instead of an output file.
    explicit Collector(std::vector<std::string> args = {}, bool toStdout = false);
    ~Collector();
    Collector(const Collector&) = delete;
    Collector& operator=(const Collector&) = delete;

    /// True when the collector printed its first line and is listening.
    bool ok() const { return port_ > 0; }
    int port() const { return port_; }
    const std::string& cert() const { return cert_; }
    std::string url() const;
    /// Records written so far, one per line.
    std::vector<std::string> records() const;
    /// Waits (polling, bounded by `timeout`) until at least `n` records arrived.
    std::vector<std::string> waitForRecords(size_t n, std::chrono::milliseconds timeout) const;
    /// What the collector wrote to its error stream so far.
    std::string stderrText() const;

private:
    TempDir dir_;
    pid_t pid_ = -1;
    int outFd_ = -1;                  // the collector's stdout, kept open with toStdout
    mutable std::string stdoutText_;  // what came after the first line
    int port_ = 0;
    std::string cert_;
};

/// Captures analytics diagnostics (error-stream lines) while alive.
class DiagnosticCapture {
public:
    DiagnosticCapture();
    ~DiagnosticCapture();
    std::vector<std::string> lines() const;
    bool contains(const std::string& text) const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

/// Sets an environment variable for the lifetime of the object, restoring it afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value);  // null value unsets
    ~ScopedEnv();

private:
    std::string name_;
    bool had_ = false;
    std::string old_;
};

}  // namespace analytics_test
