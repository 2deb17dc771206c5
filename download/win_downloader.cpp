#include "download/win_downloader.h"

#include "utils/text.h"
#include "utils/trace_log.h"

namespace {
constexpr wchar_t kSystemDownload[] = L"URLDownloadToFile";
}  // namespace

Download::HRESULT CWinDownloader::CBindCallback::OnProgress(uint32_t progress, uint32_t progressMax,
                                                            uint32_t, const wchar_t*) {
    if (cancel_.load())
        return Download::E_ABORT;
    if (progressMax == 0)
        return Download::S_OK;
    if (callback_) {
        callback_(DL_CODE_PROGRESS, static_cast<double>(progress) / double(progressMax), L"");
    }
    return Download::S_OK;
}

Download::HRESULT CWinDownloader::CBindCallback::GetBindInfo(uint32_t*,
                                                             Download::BINDINFO* bindInfo) {
    if (bindInfo)
        bindInfo->dwCodePage = Utils::kCodePageUtf8;
    return Download::E_NOTIMPL;
}

CWinDownloader::CWinDownloader(InstallCallback callback, std::wstring url, std::wstring filePath,
                               Download::Pacing pacing)
    : callback_(std::move(callback)),
      filePath_(std::move(filePath)),
      url_(std::move(url)),
      pacing_(std::move(pacing)) {}

CWinDownloader::~CWinDownloader() {
    stop_.Raise();
    bindCallback_.Cancel();
    worker_.JoinAll();
}

void CWinDownloader::Start() {
    if (!worker_.OnWorker()) {
        // Wait for a running attempt first: the bind callback's copy must not change under
        // a download that still reports through it.
        worker_.JoinAll();
    }
    if (stop_.Raised())
        return;
    bindCallback_.SetCallback(callback_);
    if (!worker_.Launch(stop_, [this] { Run(); }) && !stop_.Raised() && callback_) {
        // No thread: the owner must still hear that this download ends here.
        callback_(DL_CODE_FAIL, 1.0, L"");
    }
}

std::wstring CWinDownloader::EncodeUrl(const std::wstring& url) {
    if (url.rfind(L"file:///", 0) == 0)
        return url;
    return Utils::UrlEncode(url);
}

void CWinDownloader::Run() {
    // COM initialisation has no counterpart here.
    auto send = [this](int32_t code, double value, const wchar_t* text) {
        if (!stop_.Raised() && callback_)
            callback_(code, value, text);
    };
    send(DL_CODE_START, 1.0, L"");
    if (filePath_.empty()) {
        send(DL_CODE_FAIL, 1.0, L"");
        return;
    }
    const std::wstring url = EncodeUrl(url_);
    Download::HRESULT hr = Download::S_OK;
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        hr = Download::URLDownloadToFileW(nullptr, url.c_str(), filePath_.c_str(), 0,
                                          &bindCallback_);
        if (hr == Download::S_OK) {
            send(DL_CODE_SUCCESS, 0, kSystemDownload);
            return;
        }
        TRACE(L"URLDownloadToFile failed 0x%08x (attempt %d)", static_cast<unsigned>(hr), attempt);
        if (!stop_.Sleep(pacing_, kRetryPause))
            return;
    }
    send(DL_CODE_FAIL, static_cast<double>(hr), kSystemDownload);
}
