// The skin package: every file of a 7z archive held in memory, decoded once.
//
// The installer's windows, texts and images all come from one 7z archive embedded in the
// executable (resource "ZIPRES", 147). The archive is opened from memory, every file entry
// is decompressed at once and kept for the whole run, and later lookups never touch the
// archive or the disk again. A folder laid out like the archive can be loaded the same way
// (skin authors preview a folder before packing it).
//
// Names: entries are stored with their archive names ("res/mainWnd/bg1.png"). A lookup
// turns every "\" into "/" and returns the first entry whose name has the same length and
// is equal without regard to letter case, so "ExitTipWnd.xml" finds "exitTipWnd.xml" and
// "res\MessageBoxWnd\yesBtn1.png" finds "res/MessageBoxWnd/yesBtn1.png". Folders are not
// entries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Ui {

class SkinPackage {
public:
    /// One decoded file of the package.
    struct Entry {
        std::wstring name;           ///< archive name, "/"-separated, as stored
        std::vector<uint8_t> bytes;  ///< the whole decompressed content
    };

    /// Limits that keep a hostile archive from exhausting memory: an entry or a package
    /// whose decoded size exceeds them is refused.
    static constexpr uint64_t kMaxEntryBytes = 64ull << 20;
    static constexpr uint64_t kMaxTotalBytes = 256ull << 20;

    /// Decodes every file entry of a 7z archive held in `archive` (the bytes are not kept).
    /// Returns null, with a trace line and `error` filled when given, when the bytes are not
    /// a readable 7z archive, an entry cannot be decoded, or a limit above is exceeded.
    static std::unique_ptr<SkinPackage> OpenMemory(std::span<const uint8_t> archive,
                                                   std::wstring* error = nullptr);

    /// Reads a 7z file from disk and decodes it as OpenMemory does.
    static std::unique_ptr<SkinPackage> OpenFile(const std::filesystem::path& file,
                                                 std::wstring* error = nullptr);

    /// Loads every regular file under `folder` (names relative to it, "/"-separated, sorted;
    /// names starting with "." skipped). Null when the folder cannot be read or a limit is
    /// exceeded.
    static std::unique_ptr<SkinPackage> OpenFolder(const std::filesystem::path& folder,
                                                   std::wstring* error = nullptr);

    /// The entry named `name` under the lookup rule above, or null. The pointer stays valid
    /// for the package's life.
    const Entry* Find(std::wstring_view name) const;

    /// The bytes of `name`, or an empty span when there is no such entry (an empty entry
    /// also gives an empty span; use Find to tell them apart).
    std::span<const uint8_t> Bytes(std::wstring_view name) const;

    /// Every entry in archive order.
    const std::vector<Entry>& Entries() const { return entries_; }

    /// Sum of the decoded sizes.
    uint64_t TotalBytes() const { return totalBytes_; }

    /// How many archives this process has decoded so far (OpenMemory and OpenFile calls
    /// that succeeded). Lets callers and tests see that a shared package is decoded once.
    static unsigned DecodeCount();

    /// True when `requested` names `stored` under the lookup rule (exposed for tests).
    static bool NamesMatch(std::wstring_view requested, std::wstring_view stored);

private:
    SkinPackage() = default;
    std::vector<Entry> entries_;
    uint64_t totalBytes_ = 0;
};

/// The embedded skin resource ("ZIPRES", `resourceId`) decoded once per process; later
/// calls with the same id return the same package. Null, traced, when the executable has no
/// such resource or it does not decode (not retried). Any thread.
std::shared_ptr<const SkinPackage> ProcessSkinPackage(int resourceId = 147);

/// Starts decoding the embedded package on a worker thread, so that the first window finds
/// it ready (or waits only for the rest): start-up calls it before the slow parts of the UI
/// set-up. ProcessSkinPackage returns the same, single decode. Harmless when called again.
void PrefetchSkinPackage(int resourceId = 147);

}  // namespace Ui
