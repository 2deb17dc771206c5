#include "utils/pipe.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "utils/trace_log.h"

namespace Utils {
namespace {

void CloseFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

}  // namespace

Pipe::Pipe(Pipe&& other) noexcept
    : write_(std::exchange(other.write_, -1)), read_(std::exchange(other.read_, -1)) {}

Pipe& Pipe::operator=(Pipe&& other) noexcept {
    if (this != &other) {
        Close();
        write_ = std::exchange(other.write_, -1);
        read_ = std::exchange(other.read_, -1);
    }
    return *this;
}

void Pipe::Create() {
    Close();
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        int error = errno;
        TRACE(L"pipe2 failed errno=%d\r\n", error);
        throw Exception(std::string("pipe2: ") + std::strerror(error));
    }
    read_ = fds[0];
    write_ = fds[1];
}

void Pipe::Close() {
    CloseWriteEnd();
    CloseReadEnd();
}

void Pipe::CloseReadEnd() {
    CloseFd(read_);
}

void Pipe::CloseWriteEnd() {
    CloseFd(write_);
}

}  // namespace Utils
