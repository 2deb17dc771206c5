// CWinDownloader: the package through the system URL-moniker download (download/
// url_moniker.h), three attempts a second apart, no digest check.
#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>

#include "download/downloader.h"
#include "download/url_moniker.h"
#include "download/worker_slot.h"

class CWinDownloader : public CDownloader {
public:
    /// The status sink handed to the system download; lives inside its downloader, so
    /// reference counting is a no-op.
    class CBindCallback : public Download::IBindStatusCallbackEx {
    public:
        using HRESULT = Download::HRESULT;
        HRESULT QueryInterface(const void*, void**) override { return Download::E_NOTIMPL; }
        uint32_t AddRef() override { return 0; }
        uint32_t Release() override { return 0; }
        HRESULT OnStartBinding(uint32_t, void*) override { return Download::E_NOTIMPL; }
        HRESULT GetPriority(int32_t*) override { return Download::E_NOTIMPL; }
        HRESULT OnLowResource(uint32_t) override { return Download::E_NOTIMPL; }
        /// E_ABORT once cancelled; otherwise a DL_CODE_PROGRESS event (progress / maximum)
        /// for every notification with a non-zero maximum, and S_OK.
        HRESULT OnProgress(uint32_t progress, uint32_t progressMax, uint32_t statusCode,
                           const wchar_t* statusText) override;
        HRESULT OnStopBinding(HRESULT, const wchar_t*) override { return Download::E_NOTIMPL; }
        /// Asks for UTF-8 URLs (code page 65001).
        HRESULT GetBindInfo(uint32_t* bindFlags, Download::BINDINFO* bindInfo) override;
        HRESULT OnDataAvailable(uint32_t, uint32_t, void*, void*) override {
            return Download::E_NOTIMPL;
        }
        HRESULT OnObjectAvailable(const void*, void*) override { return Download::E_NOTIMPL; }
        HRESULT GetBindInfoEx(uint32_t*, Download::BINDINFO*, uint32_t*, uint32_t*) override {
            return Download::E_NOTIMPL;
        }
        ~CBindCallback() override { cancel_.store(true); }

        /// Set by the downloader's Start, before the worker runs.
        void SetCallback(InstallCallback callback) { callback_ = std::move(callback); }
        void Cancel() { cancel_.store(true); }

    private:
        InstallCallback callback_;
        std::atomic<bool> cancel_{false};
    };

    static constexpr int kAttempts = 3;
    static constexpr std::chrono::milliseconds kRetryPause{1000};

    CWinDownloader(InstallCallback callback, std::wstring url, std::wstring filePath,
                   Download::Pacing pacing = {});
    /// Cancels the running download (at its next progress notification) and waits.
    ~CWinDownloader() override;

    /// Begins an attempt on a new worker (after waiting for the previous one, unless called
    /// from it); a later Start is a new attempt, as with the other downloaders.
    void Start() override;

    /// The URL as handed to the system download: unchanged for "file:///", otherwise with
    /// spaces as "+" and every byte outside 33..126 of its UTF-8 form as "%XX".
    static std::wstring EncodeUrl(const std::wstring& url);

private:
    void Run();

    CBindCallback bindCallback_;
    InstallCallback callback_;
    std::wstring filePath_;
    std::wstring url_;
    Download::Pacing pacing_;
    Download::StopSignal stop_;
    Download::WorkerSlot worker_;
};
