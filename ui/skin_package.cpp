#include "ui/skin_package.h"

#include <archive.h>
#include <archive_entry.h>

#include <locale.h>
#include <algorithm>
#include <atomic>
#include <cwctype>
#include <fstream>
#include <future>
#include <iterator>
#include <map>
#include <mutex>

#include "ui/embedded_resources.h"
#include "utils/text.h"
#include "utils/trace_log.h"

namespace Ui {

namespace {

std::atomic<unsigned> g_decodeCount{0};

using PackageFuture = std::shared_future<std::shared_ptr<const SkinPackage>>;

struct ProcessPackages {
    std::mutex lock;
    // Resource id -> the package being or having been decoded (a null result when decoding
    // failed: not retried).
    std::map<int, PackageFuture> byId;
};

ProcessPackages& Packages() {
    static ProcessPackages packages;
    return packages;
}

void Fail(std::wstring* error, const std::wstring& message) {
    TRACE(L"%ls", message.c_str());
    if (error != nullptr) {
        *error = message;
    }
}

struct ArchiveDeleter {
    void operator()(archive* a) const { archive_read_free(a); }
};
using ArchivePtr = std::unique_ptr<archive, ArchiveDeleter>;

std::wstring ArchiveError(archive* a) {
    const char* text = archive_error_string(a);
    return Utils::ToWide(text != nullptr ? text : "unknown error", Utils::kCodePageUtf8);
}

// The entry's name as wide text. The UTF-8 form is independent of the locale; the plain form
// is the fallback for archives whose names carry no charset information.
std::wstring EntryName(archive_entry* entry) {
    const char* utf8 = archive_entry_pathname_utf8(entry);
    if (utf8 != nullptr) {
        return Utils::ToWide(utf8, Utils::kCodePageUtf8);
    }
    const char* plain = archive_entry_pathname(entry);
    return plain != nullptr ? Utils::ToWide(plain, Utils::kCodePageSystem) : std::wstring();
}

// Switches the calling thread (only) to a UTF-8 character type for its lifetime.
// libarchive converts the archive's UTF-16 names through the current locale's codeset; under
// the plain C locale a non-ASCII name would come back empty. uselocale is per thread, so
// other threads and the process locale are not disturbed.
class ThreadUtf8Locale {
public:
    ThreadUtf8Locale() {
        utf8_ = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        if (utf8_ != static_cast<locale_t>(nullptr)) {
            previous_ = uselocale(utf8_);
        }
    }
    ~ThreadUtf8Locale() {
        if (utf8_ != static_cast<locale_t>(nullptr)) {
            uselocale(previous_);
            freelocale(utf8_);
        }
    }
    ThreadUtf8Locale(const ThreadUtf8Locale&) = delete;
    ThreadUtf8Locale& operator=(const ThreadUtf8Locale&) = delete;

private:
    locale_t utf8_ = static_cast<locale_t>(nullptr);
    locale_t previous_ = static_cast<locale_t>(nullptr);
};

// Letter case is folded with Unicode rules whatever the process locale is (under the plain
// C locale towlower would fold ASCII letters only).
wint_t FoldCase(wchar_t c) {
    static const locale_t utf8 =
        newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    if (utf8 == static_cast<locale_t>(nullptr)) {
        return std::towlower(static_cast<wint_t>(c));
    }
    return towlower_l(static_cast<wint_t>(c), utf8);
}

}  // namespace

bool SkinPackage::NamesMatch(std::wstring_view requested, std::wstring_view stored) {
    if (requested.size() != stored.size()) {
        return false;
    }
    for (size_t i = 0; i < requested.size(); ++i) {
        const wchar_t a = requested[i] == L'\\' ? L'/' : requested[i];
        const wchar_t b = stored[i];
        if (a != b && FoldCase(a) != FoldCase(b)) {
            return false;
        }
    }
    return true;
}

unsigned SkinPackage::DecodeCount() {
    return g_decodeCount.load();
}

std::unique_ptr<SkinPackage> SkinPackage::OpenMemory(std::span<const uint8_t> bytes,
                                                     std::wstring* error) {
    if (bytes.empty()) {
        Fail(error, L"skin package is empty");
        return nullptr;
    }
    // The start header says where the archive's own header lies and how big it is; the
    // reader would allocate that size before looking at it. The whole archive is in memory,
    // so a header that does not lie inside it is refused here.
    constexpr size_t kStartHeaderSize = 32;
    if (bytes.size() >= kStartHeaderSize) {
        auto le64 = [&](size_t at) {
            uint64_t v = 0;
            for (int i = 7; i >= 0; --i) {
                v = (v << 8) | bytes[at + i];
            }
            return v;
        };
        const uint64_t nextOffset = le64(12);
        const uint64_t nextSize = le64(20);
        const uint64_t room = bytes.size() - kStartHeaderSize;
        if (nextOffset > room || nextSize > room - nextOffset) {
            Fail(error, L"skin package header lies outside the archive");
            return nullptr;
        }
    }
    const ThreadUtf8Locale utf8;
    ArchivePtr a(archive_read_new());
    if (!a) {
        Fail(error, L"archive_read_new failed");
        return nullptr;
    }
    archive_read_support_format_7zip(a.get());
    if (archive_read_open_memory(a.get(), bytes.data(), bytes.size()) != ARCHIVE_OK) {
        Fail(error, L"skin package is not a 7z archive: " + ArchiveError(a.get()));
        return nullptr;
    }

    std::unique_ptr<SkinPackage> package(new SkinPackage());
    for (;;) {
        archive_entry* entry = nullptr;
        const int rc = archive_read_next_header(a.get(), &entry);
        if (rc == ARCHIVE_EOF) {
            break;
        }
        // ARCHIVE_WARN (for example a name the locale cannot represent) is not fatal: the
        // UTF-8 name is still there.
        if (rc != ARCHIVE_OK && rc != ARCHIVE_WARN) {
            Fail(error, L"cannot read skin package entry: " + ArchiveError(a.get()));
            return nullptr;
        }
        if (archive_entry_filetype(entry) != AE_IFREG) {
            continue;  // folders and links are not entries
        }
        Entry decoded;
        decoded.name = EntryName(entry);
        if (decoded.name.empty()) {
            Fail(error, L"skin package entry without a name");
            return nullptr;
        }
        if (archive_entry_size_is_set(entry)) {
            const int64_t declared = archive_entry_size(entry);
            if (declared < 0 || static_cast<uint64_t>(declared) > kMaxEntryBytes ||
                package->totalBytes_ + static_cast<uint64_t>(declared) > kMaxTotalBytes) {
                Fail(error, L"skin package entry too large: " + decoded.name);
                return nullptr;
            }
            decoded.bytes.reserve(static_cast<size_t>(declared));
        }
        uint8_t chunk[64 * 1024];
        for (;;) {
            const la_ssize_t n = archive_read_data(a.get(), chunk, sizeof chunk);
            if (n == 0) {
                break;
            }
            if (n < 0) {
                Fail(error, L"cannot decode skin package entry " + decoded.name + L": " +
                                ArchiveError(a.get()));
                return nullptr;
            }
            if (decoded.bytes.size() + static_cast<size_t>(n) > kMaxEntryBytes ||
                package->totalBytes_ + decoded.bytes.size() + static_cast<size_t>(n) >
                    kMaxTotalBytes) {
                Fail(error, L"skin package entry too large: " + decoded.name);
                return nullptr;
            }
            decoded.bytes.insert(decoded.bytes.end(), chunk, chunk + n);
        }
        package->totalBytes_ += decoded.bytes.size();
        package->entries_.push_back(std::move(decoded));
    }
    ++g_decodeCount;
    TRACE(L"skin package decoded: %zu entries, %llu bytes", package->entries_.size(),
          static_cast<unsigned long long>(package->totalBytes_));
    return package;
}

std::unique_ptr<SkinPackage> SkinPackage::OpenFile(const std::filesystem::path& file,
                                                   std::wstring* error) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        Fail(error, L"cannot open skin package " + file.wstring());
        return nullptr;
    }
    std::error_code ec;
    const auto size = std::filesystem::file_size(file, ec);
    if (ec || size > kMaxTotalBytes) {
        Fail(error, L"cannot read skin package " + file.wstring());
        return nullptr;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) {
        Fail(error, L"cannot read skin package " + file.wstring());
        return nullptr;
    }
    return OpenMemory(bytes, error);
}

std::unique_ptr<SkinPackage> SkinPackage::OpenFolder(const std::filesystem::path& folder,
                                                     std::wstring* error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        Fail(error, L"skin folder not found: " + folder.wstring());
        return nullptr;
    }
    std::vector<fs::path> files;
    fs::recursive_directory_iterator it(folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const fs::path rel = it->path().lexically_relative(folder);
        const std::string leaf = it->path().filename().string();
        if (!leaf.empty() && leaf[0] == '.') {
            if (it->is_directory(ec)) {
                it.disable_recursion_pending();
            }
            continue;
        }
        if (it->is_regular_file(ec)) {
            files.push_back(rel);
        }
    }
    if (ec) {
        Fail(error, L"cannot list skin folder " + folder.wstring());
        return nullptr;
    }
    std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
        return a.generic_string() < b.generic_string();
    });

    std::unique_ptr<SkinPackage> package(new SkinPackage());
    for (const fs::path& rel : files) {
        const fs::path full = folder / rel;
        const auto size = fs::file_size(full, ec);
        if (ec || size > kMaxEntryBytes || package->totalBytes_ + size > kMaxTotalBytes) {
            Fail(error, L"skin file unreadable or too large: " + full.wstring());
            return nullptr;
        }
        std::ifstream in(full, std::ios::binary);
        Entry entry;
        entry.name = Utils::ToWide(rel.generic_string(), Utils::kCodePageSystem);
        entry.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (!in.good() && !in.eof()) {
            Fail(error, L"cannot read skin file " + full.wstring());
            return nullptr;
        }
        package->totalBytes_ += entry.bytes.size();
        package->entries_.push_back(std::move(entry));
    }
    TRACE(L"skin folder loaded: %zu files from %ls", package->entries_.size(),
          folder.wstring().c_str());
    return package;
}

const SkinPackage::Entry* SkinPackage::Find(std::wstring_view name) const {
    for (const Entry& entry : entries_) {
        if (NamesMatch(name, entry.name)) {
            return &entry;
        }
    }
    return nullptr;
}

std::span<const uint8_t> SkinPackage::Bytes(std::wstring_view name) const {
    const Entry* entry = Find(name);
    if (entry == nullptr) {
        return {};
    }
    return entry->bytes;
}

namespace {

std::shared_ptr<const SkinPackage> DecodeEmbedded(int resourceId) {
    const std::span<const uint8_t> bytes = FindEmbeddedResource(kSkinResourceType, resourceId);
    if (bytes.empty()) {
        TRACE(L"no embedded resource %ls %d", std::wstring(kSkinResourceType).c_str(), resourceId);
        return nullptr;
    }
    // The resource is copied into memory first, as the package is opened from a heap copy
    // of the resource on the original platform; decoding reads that copy.
    const std::vector<uint8_t> copy(bytes.begin(), bytes.end());
    std::wstring error;
    std::shared_ptr<const SkinPackage> package = SkinPackage::OpenMemory(copy, &error);
    if (!package) {
        TRACE(L"embedded skin package %d can not be opened: %ls", resourceId, error.c_str());
    }
    return package;
}

// The package's entry in the process table, created (deferred or on a worker) when absent.
PackageFuture PackageEntry(int resourceId, std::launch policy) {
    ProcessPackages& packages = Packages();
    std::lock_guard<std::mutex> guard(packages.lock);
    auto found = packages.byId.find(resourceId);
    if (found != packages.byId.end()) {
        return found->second;
    }
    PackageFuture future = std::async(policy, DecodeEmbedded, resourceId).share();
    packages.byId.emplace(resourceId, future);
    return future;
}

}  // namespace

void PrefetchSkinPackage(int resourceId) {
    PackageEntry(resourceId, std::launch::async);
}

std::shared_ptr<const SkinPackage> ProcessSkinPackage(int resourceId) {
    // Deferred: the first caller decodes on its own thread (or waits for the prefetch).
    return PackageEntry(resourceId, std::launch::deferred).get();
}

}  // namespace Ui
