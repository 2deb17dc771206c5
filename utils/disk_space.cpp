#include "utils/disk_space.h"

#include <sys/statvfs.h>

#include <cerrno>
#include <string>

#include "utils/text.h"
#include "utils/trace_log.h"

namespace Utils {

bool HardDiskManager::CheckFreeSpace(std::wstring_view directory) {
    std::string path = ToNarrow(directory, kCodePageSystem);
    if (path.empty() || path[0] != '/') {
        TRACE(L"HardDiskManager::CheckFreeSpace FAIL code=%ld\r\n", static_cast<long>(ENOENT));
        return false;
    }
    struct statvfs vfs {};
    for (;;) {
        if (::statvfs(path.c_str(), &vfs) == 0)
            break;
        int err = errno;
        size_t slash = path.find_last_of('/', path.size() > 1 ? path.size() - 2 : 0);
        if ((err != ENOENT && err != ENOTDIR) || path == "/" || slash == std::string::npos) {
            TRACE(L"HardDiskManager::CheckFreeSpace FAIL code=%ld\r\n", static_cast<long>(err));
            return false;
        }
        path.resize(slash == 0 ? 1 : slash);  // the parent folder
    }
    const uint64_t unit = vfs.f_frsize != 0 ? vfs.f_frsize : vfs.f_bsize;
    freeBytesForUser_ = static_cast<uint64_t>(vfs.f_bavail) * unit;
    totalBytes_ = static_cast<uint64_t>(vfs.f_blocks) * unit;
    totalFreeBytes_ = static_cast<uint64_t>(vfs.f_bfree) * unit;
    return true;
}

}  // namespace Utils
