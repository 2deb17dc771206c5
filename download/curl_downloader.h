// CCurlDownloader: single-stream download over one CurlClient, with a retry budget and a
// digest check against the MD5 that the real URL carries. The file's digest is the one the
// client computed while writing it (CurlClient::FileDigest); the file is read again only
// when that is missing.
#pragma once

#include <chrono>
#include <string>

#include "download/curl_client.h"
#include "download/downloader.h"
#include "download/worker_slot.h"

class CCurlDownloader : public CDownloader {
public:
    /// Deletes a stale partial file ("<path>.part") left by an earlier run.
    CCurlDownloader(InstallCallback callback, std::wstring url, std::wstring filePath,
                    Download::Pacing pacing = {});
    /// Aborts the transfer, waits for every worker, then releases the client.
    ~CCurlDownloader() override;

    /// Starts a worker running one download (retries included). Called from a foreign
    /// thread it first waits for the previous worker; called on the worker itself (the
    /// owner's reaction to DL_CODE_RETRY) the current worker is left to finish on its own.
    void Start() override;

    /// The client's progress receiver; `owner` is the downloader.
    static void OnClientProgress(void* owner, double speed, double percent);

    // Retry budget of one worker: 18 (partial file) costs 1, every other failure 2.
    static constexpr int kRetryBudget = 12;
    static constexpr std::chrono::milliseconds kRetryPause{500};

private:
    uint32_t DlThreadFun();
    void Send(int32_t code, double value, const wchar_t* text);

    InstallCallback callback_;
    std::wstring filePath_;
    std::wstring url_;
    CurlClient client_;
    Download::WorkerSlot worker_;  // runs DlThreadFun, one worker per Start
    bool digestRetried_ = false;   // written only by the worker

    Download::Pacing pacing_;
    Download::StopSignal stop_;
};
