#include "download/curl_downloader.h"

#include <cstdio>

#include "utils/md5.h"
#include "utils/text.h"
#include "utils/trace_log.h"

namespace {

constexpr wchar_t kLibCurl[] = L"LibCurl";
constexpr size_t kDigestLength = 32;

}  // namespace

CCurlDownloader::CCurlDownloader(InstallCallback callback, std::wstring url, std::wstring filePath,
                                 Download::Pacing pacing)
    : callback_(std::move(callback)),
      filePath_(std::move(filePath)),
      url_(std::move(url)),
      client_(url_, filePath_, this, &CCurlDownloader::OnClientProgress, pacing),
      pacing_(std::move(pacing)) {
    std::remove(Utils::ToNarrow(client_.GetFilePath(true), Utils::kCodePageSystem).c_str());
}

CCurlDownloader::~CCurlDownloader() {
    stop_.Raise();
    client_.Abort();
    worker_.JoinAll();
}

void CCurlDownloader::Start() {
    if (!worker_.Launch(stop_, [this] { DlThreadFun(); }) && !stop_.Raised()) {
        // No thread: the owner must still hear that this download ends here.
        Send(DL_CODE_FAIL, 1.0, L"");
    }
}

void CCurlDownloader::Send(int32_t code, double value, const wchar_t* text) {
    if (stop_.Raised() || !callback_)
        return;
    callback_(code, value, text);
}

void CCurlDownloader::OnClientProgress(void* owner, double speed, double percent) {
    auto* self = static_cast<CCurlDownloader*>(owner);
    if (speed > 0 && percent <= 100)
        self->Send(DL_CODE_PROGRESS, percent / 100.0, L"");
}

uint32_t CCurlDownloader::DlThreadFun() {
    Send(DL_CODE_START, 1.0, L"");
    if (filePath_.empty()) {
        // Nothing to write to: report and stop rather than transfer into nowhere.
        Send(DL_CODE_FAIL, 1.0, L"");
        return 0;
    }

    int budget = kRetryBudget;
    int result = client_.Start();
    while (result != 0) {
        if (stop_.Raised())
            return 0;
        budget -= result == 18 ? 1 : 2;  // 18: partial file, cheap to resume
        if (budget < 1) {
            Send(DL_CODE_FAIL, result, kLibCurl);
            return 0;
        }
        TRACE(L"CurlDownLoader Code=%d", result);
        if (!stop_.Sleep(pacing_, kRetryPause))
            return 0;
        result = client_.Start();
    }

    const std::string expected = Utils::GetUrlMd5(client_.RealUrl());
    if (expected.size() != kDigestLength) {
        Send(DL_CODE_FAIL_REASON, 0, L"curl获取url-md5失败");
    } else {
        // Normally computed while the file was written; read back only when that is missing.
        std::string actual = client_.FileDigest();
        if (actual.empty()) {
            TRACE(L"md5 read back from the file");
            actual = Utils::GetFileMd5(Utils::ToNarrow(filePath_, Utils::kCodePageSystem));
        }
        if (actual.size() == kDigestLength && actual != expected) {
            Send(DL_CODE_FAIL_REASON, 0, L"curl文件md5校验失败");
            if (!digestRetried_) {
                digestRetried_ = true;
                Send(DL_CODE_RETRY, 0, kLibCurl);
            } else {
                Send(DL_CODE_FAIL, 0, kLibCurl);
            }
            return 0;
        }
    }
    Send(DL_CODE_SUCCESS, 0, kLibCurl);
    return 0;
}
