// One anonymous pipe, and the exception that pipe and process creation throw.
//
// Both ends are created close-on-exec: a child program receives only the ends that a
// launch hands it explicitly (as its standard streams), never an end that belongs to the
// installer or to another child started at the same time.
#pragma once

#include <stdexcept>
#include <string>

namespace Utils {

/// Thrown by Pipe::Create and ChildProcess::Launch when the system refuses; the message
/// names the failed call (it may be empty, as for a process that cannot be created).
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& what) : std::runtime_error(what) {}
};

/// Owns both ends of one pipe; -1 marks a closed end.
class Pipe {
public:
    Pipe() = default;
    ~Pipe() { Close(); }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    Pipe(Pipe&& other) noexcept;
    Pipe& operator=(Pipe&& other) noexcept;

    /// Creates the pipe with the system's default buffer size. Throws Utils::Exception on
    /// failure; ends held before are closed first.
    void Create();
    /// Closes whichever ends are still open.
    void Close();
    void CloseReadEnd();
    void CloseWriteEnd();

    int ReadEnd() const { return read_; }
    int WriteEnd() const { return write_; }

private:
    int write_ = -1;
    int read_ = -1;
};

}  // namespace Utils
