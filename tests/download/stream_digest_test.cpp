// StreamDigest: the digest of prefix + fed bytes equals the one-shot MD5 of the same bytes
// across buffer boundaries and pool reuse; restarts drop the old stream; anything doubtful
// (invalidation, a prefix that cannot be read in full) gives an empty digest; cancellation
// and restarts cut a long prefix read short.

#include "download/stream_digest.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>

#include "tests/download/test_support.h"
#include "utils/md5.h"

namespace {

using namespace DownloadTest;
using Download::StreamDigest;

constexpr size_t kSlot = StreamDigest::kSlotBytes;

// A sparse file of `size` bytes (reads give zeros, nothing is written to the disk).
bool MakeSparse(const std::string& path, int64_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::ftruncate(fd, size) == 0;
    ::close(fd);
    return ok;
}

TEST(StreamDigest, PrefixAndFedBytesGiveTheDigestOfTheWholeStream) {
    struct Case {
        const char* name;
        size_t prefix;              // bytes of the file read back first
        std::vector<size_t> feeds;  // sizes of the blocks fed after it
    } cases[] = {
        {"empty stream", 0, {}},
        {"one byte", 0, {1}},
        {"one byte short of a buffer, then across it", 0, {kSlot - 1, 2}},
        {"exactly one buffer", 0, {kSlot}},
        {"receive-sized blocks through every buffer several times", 0,
         std::vector<size_t>(37, 102400)},
        {"one block larger than all buffers together", 0, {StreamDigest::kSlots * kSlot + 7}},
        {"prefix only", 3000000, {}},
        {"prefix of one buffer, then blocks", kSlot, {1000, kSlot, 3}},
        {"odd prefix, then odd blocks", 123457, {1, 63, 65, 100000, 777777}},
        {"empty blocks between the data", 10, {0, 5, 0, 0, 9}},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        size_t total = c.prefix;
        for (size_t n : c.feeds)
            total += n;
        const std::string bytes = PatternBytes(12345, total);
        const std::string path = dir.File("part");
        // The file holds more than the prefix: the writer is appending while it is read.
        ASSERT_TRUE(WriteFile(path, bytes.substr(0, c.prefix) + "tail being appended"));

        StreamDigest digest;
        digest.Restart(path, int64_t(c.prefix));
        size_t at = c.prefix;
        for (size_t n : c.feeds) {
            digest.Feed(bytes.data() + at, n);
            at += n;
        }
        EXPECT_TRUE(digest.IsOpen());
        EXPECT_EQ(digest.Length(), int64_t(total));
        EXPECT_EQ(digest.Finish(), Utils::Md5::OfBytes(bytes));
        EXPECT_FALSE(digest.IsOpen());
        EXPECT_EQ(digest.Finish(), "") << "a finished stream gives nothing more";
    }
}

TEST(StreamDigest, RestartDropsTheEarlierStream) {
    TempDir dir;
    const std::string bytes = PatternBytes(0, 5 * kSlot + 11);
    StreamDigest digest;
    EXPECT_EQ(digest.Finish(), "") << "nothing was opened";
    digest.Feed(bytes.data(), 100);  // no stream yet: ignored
    digest.Restart();
    digest.Feed("garbage that must not count", 27);
    digest.Feed(bytes.data(), 3 * kSlot);  // queued buffers of the old stream
    digest.Restart();
    digest.Feed(bytes.data(), bytes.size());
    EXPECT_EQ(digest.Finish(), Utils::Md5::OfBytes(bytes));
    // After a finished stream, the next one starts from nothing too.
    digest.Restart();
    digest.Feed("abc", 3);
    EXPECT_EQ(digest.Finish(), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(StreamDigest, DoubtfulStreamsGiveNoDigest) {
    TempDir dir;
    ASSERT_TRUE(WriteFile(dir.File("short"), std::string(1000, 'p')));
    struct Case {
        const char* name;
        std::string prefixPath;
        int64_t prefix;
        bool invalidate;
    } cases[] = {
        {"the writer lost track of the file", "", 0, true},
        {"prefix file missing", dir.File("missing"), 10, false},
        {"prefix file shorter than claimed", dir.File("short"), 1001, false},
        {"prefix is a folder", dir.Path(), 10, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StreamDigest digest;
        digest.Restart(c.prefixPath, c.prefix);
        digest.Feed("abc", 3);
        if (c.invalidate) {
            digest.Invalidate();
            EXPECT_FALSE(digest.IsOpen());
        }
        EXPECT_EQ(digest.Finish(), "");
        // A new stream is trusted again.
        digest.Restart();
        digest.Feed("abc", 3);
        EXPECT_EQ(digest.Finish(), "900150983cd24fb0d6963f7d28e17f72");
    }
}

TEST(StreamDigest, LongPrefixReadsEndPromptly) {
    // Hashing 8 GiB of prefix takes many seconds; neither a restart nor a cancellation nor
    // the destruction may wait for it.
    TempDir dir;
    const int64_t huge = int64_t(8) << 30;
    ASSERT_TRUE(MakeSparse(dir.File("huge"), huge));
    using Clock = std::chrono::steady_clock;
    {
        StreamDigest digest;
        digest.Restart(dir.File("huge"), huge);
        const auto began = Clock::now();
        digest.Restart();
        digest.Feed("abc", 3);
        EXPECT_EQ(digest.Finish(), "900150983cd24fb0d6963f7d28e17f72");
        EXPECT_LT(Clock::now() - began, std::chrono::seconds(2)) << "restart";
    }
    {
        StreamDigest digest;
        digest.Restart(dir.File("huge"), huge);
        // A writer blocked behind the prefix (every buffer queued) is released as well.
        const std::string block(kSlot, 'b');
        const auto began = Clock::now();
        for (size_t i = 0; i < StreamDigest::kSlots; ++i)
            digest.Feed(block.data(), block.size());
        std::thread canceller([&digest] { digest.Cancel(); });
        digest.Feed(block.data(), block.size());  // waits for a buffer until cancelled
        canceller.join();
        EXPECT_EQ(digest.Finish(), "");
        EXPECT_LT(Clock::now() - began, std::chrono::seconds(2)) << "cancel";
        digest.Restart();
        EXPECT_FALSE(digest.IsOpen()) << "a cancelled digest stays closed";
    }
    {
        const auto began = Clock::now();
        {
            StreamDigest digest;
            digest.Restart(dir.File("huge"), huge);
            digest.Feed("abc", 3);
        }
        EXPECT_LT(Clock::now() - began, std::chrono::seconds(2)) << "destruction";
    }
}

}  // namespace
