// Free space of the volume that holds a folder.
#pragma once

#include <cstdint>
#include <string_view>

namespace Utils {

class HardDiskManager {
public:
    virtual ~HardDiskManager() = default;

    /// Fills the three byte counts for the volume of `directory` and returns true. There
    /// are no drive letters on this OS: the "drive part" of a path is the path itself, and
    /// the volume is that of its nearest existing ancestor (a target folder need not exist
    /// yet). The path must be absolute. On failure (empty or relative path, statvfs error)
    /// traces "HardDiskManager::CheckFreeSpace FAIL code=<errno>", leaves the fields as
    /// they were and returns false.
    bool CheckFreeSpace(std::wstring_view directory);

    uint64_t FreeBytesForUser() const { return freeBytesForUser_; }
    uint64_t TotalBytes() const { return totalBytes_; }
    uint64_t TotalFreeBytes() const { return totalFreeBytes_; }

private:
    uint64_t freeBytesForUser_ = 0;
    uint64_t totalBytes_ = 0;
    uint64_t totalFreeBytes_ = 0;
};

/// Bytes per GiB, the unit callers compare free space in.
constexpr uint64_t kBytesPerGiB = 1073741824;

}  // namespace Utils
