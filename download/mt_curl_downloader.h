// CMTCurlDownloader: the package as one or two byte ranges over parallel connections.
//
// One header-only probe resolves the real URL and the size; the file is split into one part
// (below 20 MiB) or two; each part is fetched on its own thread into "<target>_<index>",
// resuming after the bytes the part file already holds; a waiter merges the parts into the
// target and checks the MD5 digest carried by the real URL. The first failure (of the parts
// or of the digest) asks the owner for one restart with DL_CODE_RETRY; the next one ends
// with DL_CODE_FAIL.
//
// The digest is computed in one pass over the data: part 0's bytes on a hasher thread as
// they are written (download/stream_digest.h), the later parts' bytes from the blocks the
// merge copies. The merged file is read again only when that digest is in doubt.
//
// Sizes and offsets are 64-bit, so packages of 2 GiB and more download. TLS certificates are
// verified (trust store as in download/curl_support.h).
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "download/curl_support.h"
#include "download/downloader.h"
#include "download/stream_digest.h"
#include "download/worker_slot.h"

/// One byte range of the package and its part file.
struct DownloadPartNode {
    struct FileCloser {
        void operator()(FILE* file) const {
            if (file)
                std::fclose(file);
        }
    };

    std::unique_ptr<FILE, FileCloser> file;  ///< open for appending while the part transfers
    int64_t nextByte = 0;                    ///< absolute offset of the next byte to fetch
    int64_t lastByte = -1;                   ///< absolute offset of the range's last byte
    Download::CurlHandle handle;             ///< reused by every retry of the part
    std::string url;
    std::string partPath;  ///< system code page: target + "_" + index
    int32_t status = -1;   ///< 0 complete, -1 pending, -2 file not opened, else libcurl result
    std::atomic<int64_t> downloaded{0};  ///< bytes of this range in the part file
    /// Part 0 of a download whose real URL carries a digest: the stream that every byte
    /// written to the part file is fed to (the package's digest starts with these bytes).
    Download::StreamDigest* digest = nullptr;

    // State of the running range request, touched only by the part's thread.
    int64_t requestStart = 0;   ///< next byte when the request was sent
    bool rangeChecked = false;  ///< the response status was looked at
    bool rangeRefused = false;  ///< the server answered a later range with the whole file
};

/// The planned split of a source: offset and size of each part (one part below 20 MiB).
struct PartPlan {
    int64_t offset;
    int64_t size;
};

class CMTCurlDownloader : public CDownloader {
public:
    // Attempt failures of the merge step (values of DL_CODE_RETRY / DL_CODE_FAIL).
    static constexpr int32_t kMergeFailed = -3;   ///< a part file could not be reopened or copied
    static constexpr int32_t kRenameFailed = -4;  ///< the merged file could not replace the target

    static constexpr int64_t kPartThreshold = 10485760;  ///< bytes per part before splitting
    static constexpr int64_t kMinimumLength = 256;
    static constexpr int kRetryBudget = 12;
    static constexpr std::chrono::milliseconds kRetryPause{400};
    static constexpr std::chrono::milliseconds kLaunchPause{100};
    static constexpr std::chrono::milliseconds kWaiterPoll{200};
    static constexpr long kStallSeconds = 5;

    /// Deletes the target and both part files left by an earlier run.
    CMTCurlDownloader(InstallCallback callback, std::wstring url, std::wstring filePath,
                      Download::Pacing pacing = {});
    /// Stops the part transfers at their next callback and waits for every thread.
    ~CMTCurlDownloader() override;

    void Start() override;

    /// The split of a source of `length` bytes (pure; length >= 1).
    static std::vector<PartPlan> PlanParts(int64_t length);

    /// The part transfers' libcurl write callback: appends the block to the part file
    /// without passing the range's last byte; returns the bytes written, so a block that
    /// runs past the range (or arrives for a closed or complete part) ends the transfer with
    /// a write error. `part` is the DownloadPartNode.
    static size_t writePartData(char* data, size_t size, size_t count, void* part);

    // Read-only views for diagnostics and tests.
    const std::string& RealUrl() const { return realUrl_; }
    int64_t Length() const { return length_; }

private:
    void Start_Down();
    bool getRealDownloadUrl(const std::string& url);
    int downloadExe(DownloadPartNode& part);
    void downloadThreadFun(DownloadPartNode& part);
    void waitForFinishThreadFun();
    /// Concatenates the parts onto the target; 0 or kMergeFailed / kRenameFailed. With
    /// `verify`, `digest` receives the MD5 of the merged file, computed from part 0's stream
    /// and the blocks copied after it (empty when that was not possible).
    int32_t MergeParts(const std::string& target, bool verify, std::string& digest);
    /// Reports a failed attempt: the first asks for a restart, the next one is final.
    void FailAttempt(int32_t value);
    void Send(int32_t code, double value, const wchar_t* text);
    static void deletePartFiles(const std::string& target);
    void clearParts();

    static int partProgressFun(void* downloader, curl_off_t, curl_off_t, curl_off_t, curl_off_t);

    std::vector<std::unique_ptr<DownloadPartNode>> parts_;
    InstallCallback callback_;
    std::wstring filePath_;
    std::wstring url_;
    std::string realUrl_;
    int64_t length_ = -1;
    std::string urlDigest_;
    double lastPercent_ = 0;
    std::atomic<int32_t> activeParts_{0};
    std::mutex progressLock_;
    int64_t lastProgressTime_ = 0;
    bool retried_ = false;

    Download::Pacing pacing_;
    Download::StopSignal stop_;
    Download::StreamDigest digest_;  // part 0's bytes, then the merge's; outlives the threads
    Download::WorkerSlot worker_;    // runs Start_Down
    Download::ThreadGroup helpers_;  // part threads and waiters
};
