#include "download/mt_curl_downloader.h"

#include <sys/stat.h>

#include "app/launch_options.h"
#include "utils/md5.h"
#include "utils/text.h"
#include "utils/trace_log.h"

namespace {

constexpr wchar_t kLibCurl[] = L"LibCurl";
constexpr size_t kDigestLength = 32;
constexpr long kConnectTimeoutSeconds = 60;
constexpr size_t kMergeBlock = 1024;
// Stream buffers of the merge: the copy loop moves 1024-byte blocks, the disk sees large
// reads and writes.
constexpr size_t kMergeStreamBuffer = 256 * 1024;

std::string PartPath(const std::string& target, size_t index) {
    return target + "_" + std::to_string(index);
}

int AbortCheck(void* stop, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<const Download::StopSignal*>(stop)->Raised() ? 1 : 0;
}

// Appends the rest of `source` to `sink` in fixed blocks, feeding each block written to
// `digest` when there is one; false on any read or write error.
bool CopyFile(FILE* source, FILE* sink, Download::StreamDigest* digest) {
    char block[kMergeBlock];
    for (;;) {
        const size_t got = std::fread(block, 1, sizeof block, source);
        if (got > 0 && std::fwrite(block, 1, got, sink) != got)
            return false;
        if (digest)
            digest->Feed(block, got);
        if (got < sizeof block)
            return !std::ferror(source);
    }
}

}  // namespace

CMTCurlDownloader::CMTCurlDownloader(InstallCallback callback, std::wstring url,
                                     std::wstring filePath, Download::Pacing pacing)
    : callback_(std::move(callback)),
      filePath_(std::move(filePath)),
      url_(std::move(url)),
      pacing_(std::move(pacing)) {
    if (!filePath_.empty()) {
        const std::string target = Utils::ToNarrow(filePath_, Utils::kCodePageSystem);
        std::remove(target.c_str());
        deletePartFiles(target);
    }
}

CMTCurlDownloader::~CMTCurlDownloader() {
    stop_.Raise();
    digest_.Cancel();  // a part write waiting for the hasher returns at once
    worker_.JoinAll();
    helpers_.JoinAll();
    clearParts();
}

void CMTCurlDownloader::Start() {
    // Threads of the previous attempt have ended (or are ending right after the event that
    // led here); collect them so they do not pile up.
    helpers_.JoinAllButSelf();
    if (!worker_.Launch(stop_, [this] { Start_Down(); }) && !stop_.Raised()) {
        // No thread: the owner must still hear that this download ends here.
        Send(DL_CODE_FAIL, 1.0, L"");
    }
}

std::vector<PartPlan> CMTCurlDownloader::PlanParts(int64_t length) {
    int64_t count = length / kPartThreshold;
    if (count < 1)
        count = 1;
    if (count > 2)
        count = 2;
    const int64_t size = length / count;
    std::vector<PartPlan> plan;
    int64_t offset = 0;
    for (int64_t i = 0; i < count; ++i) {
        const int64_t partSize = i + 1 == count ? size + length % count : size;
        plan.push_back({offset, partSize});
        offset += partSize;
    }
    return plan;
}

void CMTCurlDownloader::Send(int32_t code, double value, const wchar_t* text) {
    if (stop_.Raised() || !callback_)
        return;
    callback_(code, value, text);
}

void CMTCurlDownloader::deletePartFiles(const std::string& target) {
    std::remove(PartPath(target, 0).c_str());
    std::remove(PartPath(target, 1).c_str());
}

void CMTCurlDownloader::clearParts() {
    std::lock_guard<std::mutex> lock(progressLock_);
    parts_.clear();  // each node releases its handle and closes its file
}

void CMTCurlDownloader::Start_Down() {
    Send(DL_CODE_START, 1.0, L"");
    TRACE(L"start download");
    if (filePath_.empty()) {
        // Part files would land beside nothing (in the working folder): refuse.
        Send(DL_CODE_FAIL, 1.0, L"");
        return;
    }
    const std::string target = Utils::ToNarrow(filePath_, Utils::kCodePageSystem);
    const bool local = url_.rfind(L"file:///", 0) == 0;
    const std::string url =
        Utils::ToNarrow(url_, local ? Utils::kCodePageSystem : Utils::kCodePageUtf8);

    std::remove(target.c_str());
    double lastPercent;
    {
        std::lock_guard<std::mutex> lock(progressLock_);
        lastPercent = lastPercent_;
    }
    if (lastPercent == 0)
        deletePartFiles(target);  // nothing reported: nothing worth keeping

    if (realUrl_.empty() || length_ < kMinimumLength) {
        if (!getRealDownloadUrl(url)) {
            Send(DL_CODE_FAIL, 0, kLibCurl);
            return;
        }
    }

    clearParts();
    const bool verify = urlDigest_.size() == kDigestLength;
    std::vector<std::unique_ptr<DownloadPartNode>> parts;
    const std::vector<PartPlan> plan = PlanParts(length_);
    for (size_t i = 0; i < plan.size(); ++i) {
        auto part = std::make_unique<DownloadPartNode>();
        part->partPath = PartPath(target, i);
        int64_t existing = 0;
        struct stat info;
        if (::stat(part->partPath.c_str(), &info) == 0)
            existing = info.st_size;
        if (existing > plan[i].size) {
            // Longer than its range: left by a different source. Merging it would corrupt
            // the package, so the range starts over.
            TRACE(L"stale part %hs (%lld bytes) discarded", part->partPath.c_str(),
                  static_cast<long long>(existing));
            std::remove(part->partPath.c_str());
            existing = 0;
        }
        part->downloaded = existing;
        part->nextByte = plan[i].offset + existing;
        part->lastByte = plan[i].offset + plan[i].size - 1;
        part->handle.reset(curl_easy_init());
        part->url = realUrl_;
        if (part->nextByte > part->lastByte) {
            part->status = 0;
        } else {
            part->file.reset(std::fopen(part->partPath.c_str(), "ab+"));
            part->status = part->file ? -1 : -2;
            if (verify && i == 0 && part->file) {
                // The package's digest starts with the bytes part 0 already holds (kept from
                // the failed attempt before a restart), read back once, then continues with
                // every byte written to it.
                digest_.Restart(part->partPath, existing);
                part->digest = &digest_;
            }
        }
        parts.push_back(std::move(part));
    }
    {
        std::lock_guard<std::mutex> lock(progressLock_);
        parts_ = std::move(parts);
    }

    for (auto& part : parts_) {
        if (part->status != -1)
            continue;
        DownloadPartNode* node = part.get();
        ++activeParts_;
        if (!helpers_.Spawn(stop_, [this, node] { downloadThreadFun(*node); })) {
            --activeParts_;
            if (stop_.Raised())
                return;
            // No thread for this part: the waiter reports the attempt as failed.
            node->status = CURLE_FAILED_INIT;
            node->file.reset();
            continue;
        }
        if (!stop_.Sleep(pacing_, kLaunchPause))
            return;
    }
    helpers_.Spawn(stop_, [this] { waitForFinishThreadFun(); });
}

bool CMTCurlDownloader::getRealDownloadUrl(const std::string& url) {
    realUrl_.clear();
    urlDigest_.clear();
    length_ = 0;
    if (!GetLaunchOptions().CurlReady)
        return false;

    Download::CurlHandle handle(curl_easy_init());
    if (!handle)
        return false;
    CURL* h = handle.get();
    Download::CurlHeaders headers(curl_slist_append(nullptr, "Connection: keep-alive"));
    int rc = CURLE_OK;
    rc |= curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    rc |= curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    rc |= curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    rc |= curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
    rc |= Download::ApplyTlsTrust(h);
    rc |= curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, Download::DiscardBody);
    rc |= curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    rc |= curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    rc |= curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    rc |= curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, AbortCheck);
    rc |= curl_easy_setopt(h, CURLOPT_XFERINFODATA, &stop_);
    if (rc != CURLE_OK)
        return false;
    rc = curl_easy_perform(h);
    if (rc != CURLE_OK) {
        TRACE(L"error:%d:%ls", rc, Download::CurlErrorText(rc).c_str());
        return false;
    }

    char* effective = nullptr;
    if (curl_easy_getinfo(h, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective &&
        *effective) {
        realUrl_ = effective;
        TRACE(L"Download File real url %ls",
              Utils::ToWide(realUrl_, Utils::kCodePageSystem).c_str());
        urlDigest_ = Utils::GetUrlMd5(realUrl_);
    }
    curl_off_t length = -1;
    long status = 0;
    if (curl_easy_getinfo(h, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK &&
        curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK && status >= 200 &&
        status <= 399) {
        length_ = static_cast<int64_t>(length);
        TRACE(L"Download File Length %lld", static_cast<long long>(length_));
    }
    return !realUrl_.empty() && length_ >= kMinimumLength;
}

size_t CMTCurlDownloader::writePartData(char* data, size_t size, size_t count, void* user) {
    auto* part = static_cast<DownloadPartNode*>(user);
    if (!part->file || part->nextByte > part->lastByte)
        return 0;
    if (!part->rangeChecked) {
        // A server that ignores the range answers 200 with the file from its first byte;
        // appending that after a later offset would corrupt the part.
        part->rangeChecked = true;
        long status = 0;
        curl_easy_getinfo(part->handle.get(), CURLINFO_RESPONSE_CODE, &status);
        if (status != 206 && part->requestStart != 0) {
            part->rangeRefused = true;
            return 0;
        }
    }
    const int64_t offered = static_cast<int64_t>(size * count);
    int64_t keep = offered;
    if (part->nextByte + offered - 1 > part->lastByte)
        keep = part->lastByte - part->nextByte + 1;
    const size_t written = std::fwrite(data, 1, static_cast<size_t>(keep), part->file.get());
    if (part->digest) {
        // A short write leaves the file's contents unknown: the digest must not vouch for it.
        if (written == static_cast<size_t>(keep)) {
            part->digest->Feed(data, written);
        } else {
            part->digest->Invalidate();
        }
    }
    part->nextByte += static_cast<int64_t>(written);
    part->downloaded += static_cast<int64_t>(written);
    return written;
}

int CMTCurlDownloader::partProgressFun(void* downloader, curl_off_t, curl_off_t, curl_off_t,
                                       curl_off_t) {
    auto* self = static_cast<CMTCurlDownloader*>(downloader);
    if (self->stop_.Raised())
        return 1;  // destruction: end the transfer now

    std::lock_guard<std::mutex> lock(self->progressLock_);
    const int64_t now = self->pacing_.NowSeconds();
    if (now - self->lastProgressTime_ < 1)
        return 0;
    self->lastProgressTime_ = now;

    double sum = 0;
    if (self->length_ >= kMinimumLength) {
        for (const auto& part : self->parts_) {
            const int64_t done = part->downloaded.load();
            if (done > 0)
                sum += double(done) * 100.0 / double(self->length_);
        }
    }
    if (sum <= 100 && sum - self->lastPercent_ >= 1.0) {
        self->lastPercent_ = sum;
        self->Send(DL_CODE_PROGRESS, sum / 100.0, L"");
    }
    return 0;
}

int CMTCurlDownloader::downloadExe(DownloadPartNode& part) {
    CURL* h = part.handle.get();
    if (!h) {
        part.status = CURLE_FAILED_INIT;
        return part.status;
    }
    char range[64];
    std::snprintf(range, sizeof range, "%lld-%lld", static_cast<long long>(part.nextByte),
                  static_cast<long long>(part.lastByte));
    part.requestStart = part.nextByte;
    part.rangeChecked = false;
    part.rangeRefused = false;

    int rc = CURLE_OK;
    rc |= curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    rc |= curl_easy_setopt(h, CURLOPT_URL, part.url.c_str());
    rc |= curl_easy_setopt(h, CURLOPT_TIMEOUT, 0L);
    rc |= curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    rc |= curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, writePartData);
    rc |= curl_easy_setopt(h, CURLOPT_WRITEDATA, &part);
    rc |= curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    rc |= curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, partProgressFun);
    rc |= curl_easy_setopt(h, CURLOPT_XFERINFODATA, this);
    rc |= curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
    rc |= curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    rc |= Download::ApplyTlsTrust(h);  // certificates are verified, as for every download
    rc |= curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    rc |= curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    rc |= curl_easy_setopt(h, CURLOPT_BUFFERSIZE, Download::kReceiveBufferBytes);
    rc |= curl_easy_setopt(h, CURLOPT_RANGE, range);
    if (rc != CURLE_OK)
        return rc;

    int result = curl_easy_perform(h);
    if (part.rangeRefused)
        result = CURLE_RANGE_ERROR;
    if (result != CURLE_OK) {
        TRACE(L"error:%d:%ls", result, Download::CurlErrorText(result).c_str());
    } else {
        TRACE(L"curl_easy_cleanup");
    }
    curl_easy_reset(h);
    if (result == CURLE_OK) {
        if (std::fclose(part.file.release()) != 0) {
            TRACE(L"part file %hs could not be flushed", part.partPath.c_str());
            result = CURLE_WRITE_ERROR;
            if (part.digest)
                part.digest->Invalidate();
        }
    }
    part.status = result;
    return result;
}

void CMTCurlDownloader::downloadThreadFun(DownloadPartNode& part) {
    int budget = kRetryBudget;
    int result = downloadExe(part);
    while (result != 0 && budget > 0 && !stop_.Raised()) {
        budget -= result == 18 ? 1 : 2;  // 18: partial file, cheap to resume
        TRACE(L"CurlDownLoader Code=%d", result);
        if (!stop_.Sleep(pacing_, kRetryPause))
            break;
        result = downloadExe(part);
    }
    if (part.file && std::fclose(part.file.release()) != 0 && part.digest)
        part.digest->Invalidate();  // buffered bytes may be missing from the part file
    --activeParts_;
}

void CMTCurlDownloader::FailAttempt(int32_t value) {
    if (!retried_) {
        retried_ = true;
        Send(DL_CODE_RETRY, value, kLibCurl);
    } else {
        {
            std::lock_guard<std::mutex> lock(progressLock_);
            lastPercent_ = 0;
        }
        Send(DL_CODE_FAIL, value, kLibCurl);
    }
}

int32_t CMTCurlDownloader::MergeParts(const std::string& target, bool verify, std::string& digest) {
    using File = std::unique_ptr<FILE, DownloadPartNode::FileCloser>;
    digest.clear();
    File first(std::fopen(PartPath(target, 0).c_str(), "ab+"));
    if (!first) {
        TRACE(L"cannot reopen %hs", PartPath(target, 0).c_str());
        digest_.Invalidate();
        return kMergeFailed;
    }
    std::setvbuf(first.get(), nullptr, _IOFBF, kMergeStreamBuffer);
    // The merged file's digest begins with part 0: the stream fed while it was written when
    // that covers the whole file (it also does for a part completed by an earlier attempt
    // of this downloader), else its bytes read back.
    Download::StreamDigest* stream = nullptr;
    if (verify) {
        struct stat info;
        if (::fstat(fileno(first.get()), &info) == 0) {
            const int64_t held = info.st_size;
            if (!digest_.IsOpen() || digest_.Length() != held) {
                TRACE(L"md5 of %hs read back from the file", PartPath(target, 0).c_str());
                digest_.Restart(PartPath(target, 0), held);
            }
            stream = &digest_;
        } else {
            digest_.Invalidate();
        }
    }
    for (size_t i = 1; i < parts_.size(); ++i) {
        const std::string path = PartPath(target, i);
        File part(std::fopen(path.c_str(), "rb"));
        if (!part) {
            TRACE(L"cannot reopen %hs", path.c_str());
            return kMergeFailed;
        }
        std::setvbuf(part.get(), nullptr, _IOFBF, kMergeStreamBuffer);
        if (!CopyFile(part.get(), first.get(), stream)) {
            TRACE(L"cannot copy %hs", path.c_str());
            digest_.Invalidate();
            return kMergeFailed;
        }
        TRACE(L"partPath::%hs", path.c_str());
    }
    if (std::fclose(first.release()) != 0) {
        TRACE(L"cannot flush %hs", PartPath(target, 0).c_str());
        digest_.Invalidate();
        return kMergeFailed;
    }
    if (stream)
        digest = stream->Finish();
    std::remove(target.c_str());
    if (std::rename(PartPath(target, 0).c_str(), target.c_str()) != 0) {
        TRACE(L"cannot move the merged file onto %hs", target.c_str());
        return kRenameFailed;
    }
    deletePartFiles(target);
    return 0;
}

void CMTCurlDownloader::waitForFinishThreadFun() {
    while (activeParts_.load() > 0) {
        // A real pause even under test pacing: the parts run on real time.
        if (!stop_.Sleep(Download::Pacing{}, kWaiterPoll))
            return;
    }
    if (stop_.Raised())
        return;
    const std::string target = Utils::ToNarrow(filePath_, Utils::kCodePageSystem);

    int32_t failure = 0;
    for (const auto& part : parts_) {
        if (part->status != 0) {
            failure = part->status;
            break;
        }
    }
    if (failure != 0) {
        clearParts();
        std::lock_guard<std::mutex> lock(progressLock_);
        if (lastPercent_ == 0)
            deletePartFiles(target);
    }
    if (failure != 0) {
        FailAttempt(failure);
        return;
    }

    {
        std::lock_guard<std::mutex> lock(progressLock_);
        lastPercent_ = 0;
    }
    const bool verify = urlDigest_.size() == kDigestLength;
    std::string streamed;
    const int32_t merged = MergeParts(target, verify, streamed);
    if (merged != 0) {
        clearParts();
        deletePartFiles(target);
        FailAttempt(merged);
        return;
    }

    if (verify) {
        // Normally computed from the written bytes; read back only when that is missing.
        std::string actual = streamed;
        if (actual.empty()) {
            TRACE(L"md5 read back from the file");
            actual = Utils::GetFileMd5(target);
        }
        if (actual.size() == kDigestLength && actual != urlDigest_) {
            Send(DL_CODE_FAIL_REASON, 0, L"mtcurl文件md5校验失败");
            std::remove(target.c_str());
            clearParts();
            if (!retried_) {
                retried_ = true;
                TRACE(L"finish recv, md5 chaek failed retry once.");
                Send(DL_CODE_RETRY, 0, kLibCurl);
            } else {
                TRACE(L"finish recv, md5 chaek failed and retry failed.");
                Send(DL_CODE_FAIL, 0, kLibCurl);
            }
            return;
        }
    } else {
        Send(DL_CODE_FAIL_REASON, 0, L"mtcurl获取url-md5失败");
    }
    TRACE(L"finish recv");
    clearParts();
    Send(DL_CODE_SUCCESS, 0, kLibCurl);
}
