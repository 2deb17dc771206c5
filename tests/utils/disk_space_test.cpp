#include "utils/disk_space.h"

#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include "tests/utils/temp_dir.h"
#include "utils/text.h"
#include "utils/trace_log.h"

namespace {

TEST(HardDiskManager, MissingFolderUsesItsNearestExistingAncestor) {
    TestSupport::TempDir dir;
    struct statvfs vfs {};
    ASSERT_EQ(::statvfs(dir.path().c_str(), &vfs), 0);
    Utils::HardDiskManager disk;
    EXPECT_EQ(disk.TotalBytes(), 0u);
    std::wstring target = Utils::ToWide(dir.path() + "/not/yet/made/", Utils::kCodePageUtf8);
    ASSERT_TRUE(disk.CheckFreeSpace(target));
    EXPECT_EQ(disk.TotalBytes(), uint64_t{vfs.f_blocks} * vfs.f_frsize);
    EXPECT_GT(disk.TotalBytes(), 0u);
    EXPECT_LE(disk.FreeBytesForUser(), disk.TotalFreeBytes());
    EXPECT_LE(disk.TotalFreeBytes(), disk.TotalBytes());
}

TEST(HardDiskManager, FailureLeavesTheFieldsAndTraces) {
    std::vector<std::wstring> lines;
    Utils::SetTraceSink([&](const std::wstring& l) { lines.push_back(l); });
    Utils::HardDiskManager disk;
    ASSERT_TRUE(disk.CheckFreeSpace(L"/"));
    const uint64_t total = disk.TotalBytes();
    for (const wchar_t* bad : {L"", L"C:", L"relative/path"}) {
        EXPECT_FALSE(disk.CheckFreeSpace(bad));
        EXPECT_EQ(disk.TotalBytes(), total);
    }
    Utils::SetTraceSink(nullptr);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find(L"HardDiskManager::CheckFreeSpace FAIL code=2\r\n"),
              std::wstring::npos);
}

}  // namespace
