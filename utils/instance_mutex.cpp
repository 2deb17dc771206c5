#include "utils/instance_mutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "utils/text.h"
#include "utils/trace_log.h"

namespace Utils {

std::string InstanceMutex::LockFilePath() const {
    const char* dir = std::getenv("XDG_RUNTIME_DIR");
    if (dir == nullptr || dir[0] == '\0')
        dir = std::getenv("TMPDIR");
    if (dir == nullptr || dir[0] == '\0')
        dir = "/tmp";
    std::string path = dir;
    if (path.back() != '/')
        path.push_back('/');
    return path + ToNarrow(Name(), kCodePageUtf8);
}

void InstanceMutex::Acquire() {
    if (fd_ >= 0)
        return;
    std::string path = LockFilePath();
    // Read-only is enough for flock; O_NOFOLLOW keeps a planted link in a shared folder
    // from redirecting the open.
    int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        TRACE(L"cannot create the mutex file %s errno=%d\r\n", path.c_str(), errno);
        return;
    }
    int rc;
    while ((rc = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    if (rc != 0) {
        if (errno == EWOULDBLOCK) {
            TRACE(L"mutex %ls already exists\r\n", Name().c_str());
        } else {
            TRACE(L"flock %s failed errno=%d\r\n", path.c_str(), errno);
        }
        ::close(fd);
        return;
    }
    fd_ = fd;
}

void InstanceMutex::Release() {
    if (fd_ < 0)
        return;
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
}

}  // namespace Utils
