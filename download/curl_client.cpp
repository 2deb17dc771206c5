#include "download/curl_client.h"

#include <sys/stat.h>

#include <cstdio>
#include <memory>

#include "download/task_report.h"
#include "utils/md5.h"
#include "utils/text.h"
#include "utils/trace_log.h"

namespace {

constexpr long kConnectTimeoutSeconds = 60;
constexpr long kKeepAliveSeconds = 10;
// A transfer that moves less than 1 byte per second for this long is cut (result 28) and
// retried by the owner's budget, instead of hanging on a server that stopped sending.
constexpr long kStallSeconds = 60;
constexpr size_t kDigestLength = 32;

struct FileCloser {
    void operator()(FILE* file) const {
        if (file)
            std::fclose(file);
    }
};
using File = std::unique_ptr<FILE, FileCloser>;

// Where the body goes: the partial file, and the digest stream when one is kept.
struct PartSink {
    FILE* file;
    Download::StreamDigest* digest;
};

size_t WriteToFile(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<PartSink*>(user);
    const size_t written = std::fwrite(data, size, count, sink->file) * size;
    if (sink->digest) {
        // A short write leaves the file's contents unknown: the digest must not vouch for it.
        if (written == size * count) {
            sink->digest->Feed(data, written);
        } else {
            sink->digest->Invalidate();
        }
    }
    return written;
}

// The abort check of the header-only probes: they have no progress to report, but a client
// being destroyed must not wait for a slow server to answer them.
int ProbeAbortCheck(void* flag, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<std::atomic<bool>*>(flag)->load() ? 1 : 0;
}

std::string UrlForLibcurl(const std::wstring& url) {
    // A local "file:///" source names a path, which the library opens in the system's code
    // page; network URLs travel as UTF-8.
    const bool local = url.rfind(L"file:///", 0) == 0;
    return Utils::ToNarrow(url, local ? Utils::kCodePageSystem : Utils::kCodePageUtf8);
}

// Reports a length query answered with an unacceptable status.
void ReportBadStatus(long status) {
    wchar_t reason[200];
    std::swprintf(reason, 200, L"1.获取文件大小的状态码为=%ld；", status);
    Download::ReportTask(Download::kDownloadFailReasonEvent, reason, 0, L"IN");
}

bool AcceptableStatus(long status) {
    return status >= 200 && status <= 399;
}

}  // namespace

CurlClient::CurlClient(std::wstring url, std::wstring filePath, void* owner,
                       ProgressReceiver receiver, Download::Pacing pacing)
    : url_(std::move(url)),
      filePath_(std::move(filePath)),
      owner_(owner),
      receiver_(receiver),
      pacing_(std::move(pacing)) {}

CurlClient::~CurlClient() {
    std::remove(Utils::ToNarrow(GetFilePath(true), Utils::kCodePageSystem).c_str());
    abort_.store(true);
}

std::wstring CurlClient::GetFilePath(bool partial) const {
    return partial ? filePath_ + L".part" : filePath_;
}

CURLcode CurlClient::ApplyCommonOptions(CURL* handle) {
    int rc = Download::ApplyTlsTrust(handle);
    rc |= curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    return static_cast<CURLcode>(rc);
}

int CurlClient::Start() {
    TRACE(L"start download");
    fileDigest_.clear();
    const std::string partPath = Utils::ToNarrow(GetFilePath(true), Utils::kCodePageSystem);
    const std::string targetPath = Utils::ToNarrow(filePath_, Utils::kCodePageSystem);
    const std::string url = UrlForLibcurl(url_);

    if (realUrl_.empty() || totalLength_ < kMinimumLength) {
        Download::CurlHandle head = Head(url);
        if (head) {
            realUrl_ = GetRealUrl(head.get());
            totalLength_ = GetDownloadFileLength(head.get());
        }
    }
    if (realUrl_.empty() || totalLength_ < kMinimumLength) {
        realUrl_ = GetRealUrl_Str(url);
        if (!realUrl_.empty())
            totalLength_ = GetDownloadFileLength_Str(realUrl_);
    }

    int result = kLengthMissing;
    if (totalLength_ >= kMinimumLength) {
        result = Transfer(partPath);
    } else {
        TRACE(L"error:%d:%ls", result, Download::CurlErrorText(result).c_str());
    }
    if (result == 0) {
        std::remove(targetPath.c_str());
        if (std::rename(partPath.c_str(), targetPath.c_str()) != 0) {
            TRACE(L"cannot move %ls onto the target", GetFilePath(true).c_str());
            result = kRenameFailed;
        } else {
            fileDigest_ = digest_.Finish();
        }
    }
    TRACE(L"end download");
    return result;
}

int CurlClient::Transfer(const std::string& partPath) {
    Download::CurlHandle handle(curl_easy_init());
    if (!handle) {
        TRACE(L"error:%d:%ls", kNoHandle, Download::CurlErrorText(kNoHandle).c_str());
        return kNoHandle;
    }
    File part(std::fopen(partPath.c_str(), "ab+"));
    if (!part) {
        TRACE(L"error:%d:%ls", kPartOpenFailed, Download::CurlErrorText(kPartOpenFailed).c_str());
        return kPartOpenFailed;
    }
    CURL* h = handle.get();
    Download::CurlHeaders headers(curl_slist_append(nullptr, "Connection: keep-alive"));
    if (headers && !curl_slist_append(headers.get(), "Accept-Encoding: gzip, deflate")) {
        headers.reset();
    }
    int rc = CURLE_OK;
    rc |= curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    rc |= curl_easy_setopt(h, CURLOPT_TCP_KEEPALIVE, 1L);
    rc |= curl_easy_setopt(h, CURLOPT_TCP_KEEPIDLE, kKeepAliveSeconds);
    rc |= curl_easy_setopt(h, CURLOPT_TCP_KEEPINTVL, kKeepAliveSeconds);
    rc |= curl_easy_setopt(h, CURLOPT_TIMEOUT, 0L);
    rc |= curl_easy_setopt(h, CURLOPT_URL, realUrl_.c_str());
    rc |= curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    PartSink sink{part.get(), nullptr};
    rc |= curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, WriteToFile);
    rc |= curl_easy_setopt(h, CURLOPT_WRITEDATA, &sink);
    rc |= curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    rc |= curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &CurlClient::ProgressCallback);
    rc |= curl_easy_setopt(h, CURLOPT_XFERINFODATA, this);
    rc |= curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
    rc |= curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    rc |= curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    rc |= curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    rc |= curl_easy_setopt(h, CURLOPT_BUFFERSIZE, Download::kReceiveBufferBytes);
    rc |= ApplyCommonOptions(h);

    struct stat info;
    resumeOffset_ = ::stat(partPath.c_str(), &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
    if (resumeOffset_ > 0) {
        rc |=
            curl_easy_setopt(h, CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(resumeOffset_));
    }
    if (Utils::GetUrlMd5(realUrl_).size() == kDigestLength) {
        PrepareDigest(partPath);
        sink.digest = &digest_;
    }
    int result = rc;
    if (rc == CURLE_OK) {
        transfer_ = h;
        result = curl_easy_perform(h);
        transfer_ = nullptr;
    }
    TRACE(L"error:%d:%ls", result, Download::CurlErrorText(result).c_str());
    handle.reset();
    if (std::fclose(part.release()) != 0) {
        // Buffered bytes may not have reached the disk: the partial file is short of what
        // the digest took in.
        digest_.Invalidate();
        if (result == 0) {
            TRACE(L"partial file could not be flushed");
            result = CURLE_WRITE_ERROR;
        }
    }
    return result;
}

void CurlClient::PrepareDigest(const std::string& partPath) {
    if (resumeOffset_ < 0) {
        // The partial file's size is unknown, so is what the digest would have to start with.
        digest_.Restart();
        digest_.Invalidate();
        return;
    }
    // The partial file is this client's alone: when the stream of the earlier attempts
    // covers as many bytes as the file holds, those are the same bytes.
    if (digest_.IsOpen() && digest_.Length() == resumeOffset_)
        return;
    digest_.Restart(partPath, resumeOffset_);
}

int CurlClient::ProgressCallback(void* client, curl_off_t dltotal, curl_off_t dlnow, curl_off_t,
                                 curl_off_t) {
    auto* self = static_cast<CurlClient*>(client);
    if (self->abort_.load())
        return 1;

    const int64_t now = self->pacing_.NowSeconds();
    if (now - self->lastReportTime_ < 1)
        return 0;
    self->lastReportTime_ = now;

    curl_off_t speedBytes = 0;
    if (!self->transfer_ ||
        curl_easy_getinfo(self->transfer_, CURLINFO_SPEED_DOWNLOAD_T, &speedBytes) != CURLE_OK) {
        speedBytes = 0;
    }
    const double speed = static_cast<double>(speedBytes);

    double percent = 0;
    if (self->totalLength_ > kMinimumLength) {
        // dlnow counts only the resumed remainder, so add what the partial file held.
        const double resumed = self->resumeOffset_ > 0 ? double(self->resumeOffset_) : 0.0;
        percent = (resumed + double(dlnow)) / self->totalLength_ * 100.0;
    } else if (dlnow > 0 && dltotal > 0) {
        percent = double(dlnow) * 100.0 / double(dltotal);
    } else {
        return 0;
    }
    if (percent == 0)
        return 0;

    if (self->receiver_)
        self->receiver_(self->owner_, speed, percent);
    if (dltotal != 0) {
        TRACE(L" %dM %dM   progress:%f%%  speed:%f \n", int(dlnow / 1048576),
              int(dltotal / 1048576), double(float(percent)), double(float(speed / 1024)));
    }
    return 0;
}

int CurlClient::ApplyProbeOptions(CURL* h, const std::string& url, CURLoption headOption) {
    int rc = CURLE_OK;
    rc |= curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    rc |= curl_easy_setopt(h, headOption, 1L);
    rc |= curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
    rc |= curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, Download::DiscardBody);
    rc |= curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    rc |= curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    rc |= curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, ProbeAbortCheck);
    rc |= curl_easy_setopt(h, CURLOPT_XFERINFODATA, &abort_);
    rc |= ApplyCommonOptions(h);
    return rc;
}

Download::CurlHandle CurlClient::Head(const std::string& url) {
    Download::CurlHandle handle(curl_easy_init());
    if (!handle)
        return handle;
    CURL* h = handle.get();
    int rc = ApplyProbeOptions(h, url, CURLOPT_FOLLOWLOCATION);
    if (rc == CURLE_OK) {
        rc = curl_easy_perform(h);
        if (rc != CURLE_OK)
            TRACE(L"error:%d:%ls", rc, Download::CurlErrorText(rc).c_str());
    }
    TRACE(L"error:%d:%ls", rc, Download::CurlErrorText(rc).c_str());
    return handle;
}

std::string CurlClient::GetRealUrl(CURL* handle) {
    char* effective = nullptr;
    if (curl_easy_getinfo(handle, CURLINFO_EFFECTIVE_URL, &effective) != CURLE_OK || !effective) {
        return {};
    }
    return effective;
}

double CurlClient::GetDownloadFileLength(CURL* handle) {
    curl_off_t length = -1;
    const CURLcode rc = curl_easy_getinfo(handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    TRACE(L"error:%d:%ls", int(rc), Download::CurlErrorText(rc).c_str());
    long status = 0;
    if (curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK &&
        AcceptableStatus(status)) {
        return rc == CURLE_OK ? double(length) : -1.0;
    }
    ReportBadStatus(status);
    return -1;
}

double CurlClient::GetDownloadFileLength_Str(const std::string& url) {
    double result = -1;
    Download::CurlHandle handle(curl_easy_init());
    if (!handle) {
        TRACE(L"no easy handle");
        return -1;
    }
    CURL* h = handle.get();
    int rc = ApplyProbeOptions(h, url, CURLOPT_HEADER);
    if (rc == CURLE_OK) {
        curl_easy_perform(h);
        curl_off_t length = -1;
        const CURLcode lengthRc = curl_easy_getinfo(h, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        long status = 0;
        rc = curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
        if (rc == CURLE_OK && AcceptableStatus(status)) {
            if (lengthRc == CURLE_OK)
                result = double(length);
        } else {
            ReportBadStatus(status);
        }
    }
    TRACE(L"error:%d:%ls", rc, Download::CurlErrorText(rc).c_str());
    return result;
}

std::string CurlClient::GetRealUrl_Str(const std::string& url) {
    std::string result;
    Download::CurlHandle handle(curl_easy_init());
    if (handle) {
        CURL* h = handle.get();
        int rc = ApplyProbeOptions(h, url, CURLOPT_FOLLOWLOCATION);
        if (rc == CURLE_OK)
            rc = curl_easy_perform(h);
        if (rc != CURLE_OK) {
            TRACE(L"error:%d:%ls", rc, Download::CurlErrorText(rc).c_str());
        } else {
            result = GetRealUrl(h);
        }
    }
    return result.empty() ? url : result;
}
