// CurlClient: one URL into one local file over libcurl's easy interface.
//
// Each Start is one complete attempt: resolve the real (redirected) URL and the remote size
// when not yet known, transfer the body into "<target>.part" resuming after whatever that
// file already holds, then move the partial file onto the target. Start, the probes and the
// progress callback run on the owner's worker thread; Abort may be called from any thread.
#pragma once

#include <curl/curl.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "download/curl_support.h"
#include "download/pacing.h"
#include "download/stream_digest.h"

class CurlClient {
public:
    /// Receives (owner, average bytes per second, percent of the whole file).
    using ProgressReceiver = void (*)(void* owner, double speed, double percent);

    // Results of Start besides 0 (success) and positive libcurl codes.
    static constexpr int kRenameFailed = -995;  ///< finished file could not replace the target
    static constexpr int kPartOpenFailed = -996;
    static constexpr int kNoHandle = -997;
    static constexpr int kLengthMissing = -998;  ///< remote length missing or below 1 MiB

    /// Sources smaller than this are refused (a package is never that small).
    static constexpr double kMinimumLength = 1048576.0;

    CurlClient(std::wstring url, std::wstring filePath, void* owner, ProgressReceiver receiver,
               Download::Pacing pacing = {});
    /// Raises the abort flag and removes the partial file. The owner destroys the client
    /// only after its worker has left Start.
    ~CurlClient();
    CurlClient(const CurlClient&) = delete;
    CurlClient& operator=(const CurlClient&) = delete;

    /// The target path, or (partial = true) the target path plus ".part".
    std::wstring GetFilePath(bool partial = false) const;

    /// One attempt; blocking. 0 on success, else a libcurl result or a negative code above.
    int Start();

    /// Stops the running transfer at its next progress call (result 42) and every later
    /// request of this client. Thread-safe.
    void Abort() {
        abort_.store(true);
        digest_.Cancel();  // a write waiting for the hasher returns at once
    }

    /// libcurl's transfer-info callback; `client` is the CurlClient. Non-zero aborts.
    static int ProgressCallback(void* client, curl_off_t dltotal, curl_off_t dlnow,
                                curl_off_t ultotal, curl_off_t ulnow);

    /// A header-only request following redirects, on a fresh handle that the caller reads
    /// and then releases. Null only when no handle could be created.
    Download::CurlHandle Head(const std::string& url);
    /// CURLINFO_EFFECTIVE_URL of a finished transfer; empty when there is none.
    static std::string GetRealUrl(CURL* handle);
    /// The content length of a finished transfer whose status is 200..399, else -1 (an
    /// unacceptable status is also reported as a task event).
    static double GetDownloadFileLength(CURL* handle);
    /// The effective URL of a header-only request of `url`; `url` itself when none.
    std::string GetRealUrl_Str(const std::string& url);
    /// The content length from a header-only request of `url` (redirects not followed);
    /// -1 on failure.
    double GetDownloadFileLength_Str(const std::string& url);

    // Read-only views for the owner and for diagnostics.
    const std::string& RealUrl() const { return realUrl_; }
    double TotalLength() const { return totalLength_; }
    int64_t ResumeOffset() const { return resumeOffset_; }

    /// The MD5 (32 lower-case hex characters) of the file that the last successful Start
    /// moved onto the target, computed while the file was written: the bytes a resumed
    /// attempt found in the partial file are read back once, everything received is hashed
    /// on its way to the disk. Computed only when the real URL carries a digest to compare
    /// with (Utils::GetUrlMd5 gives 32 characters). Empty when it was not computed or when
    /// anything left it in doubt (a failed write, a partial file that could not be read
    /// back): the caller then reads the file itself.
    const std::string& FileDigest() const { return fileDigest_; }

private:
    /// Applies the options every request of this client shares (TLS trust, abort check).
    CURLcode ApplyCommonOptions(CURL* handle);
    /// Sets up `h` as a body-less probe of `url` (HEAD request, connect timeout, abort check,
    /// common options) with `headOption` (CURLOPT_FOLLOWLOCATION or CURLOPT_HEADER) set to 1.
    /// Returns the OR of the libcurl results: CURLE_OK only when every option was accepted.
    int ApplyProbeOptions(CURL* h, const std::string& url, CURLoption headOption);
    /// Opens the partial file, sets the transfer options and performs the transfer; the
    /// partial file is closed (and its buffered bytes flushed) before returning.
    int Transfer(const std::string& partPath);
    /// Opens the digest stream of an attempt that appends to a partial file of
    /// resumeOffset_ bytes: the previous attempt's stream when it covers exactly those bytes,
    /// else a new stream that reads them back first.
    void PrepareDigest(const std::string& partPath);

    std::wstring url_;
    std::wstring filePath_;
    void* owner_;
    CURL* transfer_ = nullptr;  // handle of the running Start; read by ProgressCallback
    ProgressReceiver receiver_;
    double totalLength_ = -1;
    int64_t resumeOffset_ = -1;  // 64-bit: partial files of 2 GiB and more resume correctly
    int64_t lastReportTime_ = 0;
    std::atomic<bool> abort_{false};
    std::string realUrl_;
    Download::Pacing pacing_;
    Download::StreamDigest digest_;  // the partial file's bytes, hashed as they are written
    std::string fileDigest_;         // digest of the last file moved onto the target
};
