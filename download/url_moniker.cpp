#include "download/url_moniker.h"

#include <curl/curl.h>

#include <cstdio>
#include <memory>
#include <string>

#include "download/curl_support.h"
#include "utils/text.h"
#include "utils/trace_log.h"

namespace Download {
namespace {

constexpr long kConnectTimeoutSeconds = 60;
constexpr long kStallSeconds = 60;  // below 1 byte/s this long: the download fails

struct FileCloser {
    void operator()(FILE* file) const {
        if (file)
            std::fclose(file);
    }
};

struct Binding {
    IBindStatusCallbackEx* callback = nullptr;
    curl_off_t lastReported = -1;
    HRESULT cancelled = S_OK;  // the failure OnProgress returned, if any
};

size_t WriteToFile(char* data, size_t size, size_t count, void* file) {
    return std::fwrite(data, size, count, static_cast<FILE*>(file)) * size;
}

// The status interface counts in 32 bits; larger sizes are scaled down together so the
// fraction stays right for files of 4 GiB and more.
void To32Bits(curl_off_t now, curl_off_t total, uint32_t* now32, uint32_t* total32) {
    while (total > static_cast<curl_off_t>(UINT32_MAX)) {
        total >>= 1;
        now >>= 1;
    }
    *now32 = static_cast<uint32_t>(now < 0 ? 0 : now);
    *total32 = static_cast<uint32_t>(total < 0 ? 0 : total);
}

int OnTransferInfo(void* user, curl_off_t dltotal, curl_off_t dlnow, curl_off_t, curl_off_t) {
    auto* binding = static_cast<Binding*>(user);
    uint32_t now32 = 0, total32 = 0;
    HRESULT hr;
    if (dlnow != binding->lastReported && dlnow > 0) {
        const uint32_t status =
            binding->lastReported <= 0 ? BINDSTATUS_BEGINDOWNLOADDATA : BINDSTATUS_DOWNLOADINGDATA;
        binding->lastReported = dlnow;
        To32Bits(dlnow, dltotal > 0 ? dltotal : 0, &now32, &total32);
        hr = binding->callback->OnProgress(now32, total32, status, nullptr);
    } else {
        // Nothing new arrived: a status notification without a maximum, which still gives
        // the callback its chance to cancel a slow or stalled transfer.
        To32Bits(dlnow, 0, &now32, &total32);
        hr = binding->callback->OnProgress(
            now32, 0, dlnow > 0 ? BINDSTATUS_DOWNLOADINGDATA : BINDSTATUS_CONNECTING, nullptr);
    }
    if (hr < 0) {
        binding->cancelled = hr;
        return 1;
    }
    return 0;
}

// A "file:///" URL carries a raw local path; the library's URL parser wants the bytes it
// does not accept in a URL (and those with a meaning there) escaped.
std::string EscapeLocalPath(const std::string& url) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : url) {
        if (c <= 32 || c >= 127 || c == '%' || c == '#' || c == '?') {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

HRESULT MapResult(CURLcode rc, long status) {
    switch (rc) {
        case CURLE_OK:
            return S_OK;
        case CURLE_URL_MALFORMAT:
        case CURLE_UNSUPPORTED_PROTOCOL:
            return INET_E_INVALID_URL;
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_COULDNT_CONNECT:
        case CURLE_FILE_COULDNT_READ_FILE:
            return INET_E_RESOURCE_NOT_FOUND;
        case CURLE_OPERATION_TIMEDOUT:
            return INET_E_CONNECTION_TIMEOUT;
        case CURLE_HTTP_RETURNED_ERROR:
            return status == 404 || status == 410 ? INET_E_RESOURCE_NOT_FOUND
                                                  : INET_E_DOWNLOAD_FAILURE;
        case CURLE_WRITE_ERROR:
            return E_FAIL;
        default:
            return INET_E_DOWNLOAD_FAILURE;
    }
}

}  // namespace

HRESULT URLDownloadToFileW(void*, const wchar_t* url, const wchar_t* fileName, uint32_t,
                           IBindStatusCallbackEx* callback) {
    if (!url || !*url || !fileName || !*fileName)
        return E_INVALIDARG;

    BINDINFO info;
    uint32_t bindFlags = 0;
    if (callback)
        callback->GetBindInfo(&bindFlags, &info);
    const std::wstring wideUrl(url);
    // A local path is opened in the system's code page; a network URL is sent in the code
    // page the callback asked for (UTF-8 when it did not say).
    unsigned codePage = info.dwCodePage ? info.dwCodePage : Utils::kCodePageUtf8;
    const bool local = wideUrl.rfind(L"file:///", 0) == 0;
    if (local)
        codePage = Utils::kCodePageSystem;
    std::string narrowUrl = Utils::ToNarrow(wideUrl, codePage);
    if (local)
        narrowUrl = EscapeLocalPath(narrowUrl);
    const std::string target = Utils::ToNarrow(fileName, Utils::kCodePageSystem);
    const std::string temp = target + ".~dl";
    if (narrowUrl.empty() || target.empty())
        return E_INVALIDARG;

    if (callback) {
        callback->OnStartBinding(0, nullptr);
        callback->OnProgress(0, 0, BINDSTATUS_FINDINGRESOURCE, url);
    }

    CurlHandle handle(curl_easy_init());
    std::unique_ptr<FILE, FileCloser> file(std::fopen(temp.c_str(), "wb"));
    HRESULT hr = S_OK;
    if (!handle) {
        hr = INET_E_DOWNLOAD_FAILURE;
    } else if (!file) {
        TRACE(L"cannot create %hs", temp.c_str());
        hr = E_FAIL;
    } else {
        Binding binding;
        binding.callback = callback;
        CURL* h = handle.get();
        int rc = CURLE_OK;
        rc |= curl_easy_setopt(h, CURLOPT_URL, narrowUrl.c_str());
        rc |= curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
        rc |= curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
        rc |= curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
        rc |= curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
        rc |= curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
        rc |= curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
        rc |= curl_easy_setopt(h, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
        rc |= curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, WriteToFile);
        rc |= curl_easy_setopt(h, CURLOPT_WRITEDATA, file.get());
        if (callback) {
            rc |= curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
            rc |= curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, OnTransferInfo);
            rc |= curl_easy_setopt(h, CURLOPT_XFERINFODATA, &binding);
        }
        rc |= ApplyTlsTrust(h);
        const CURLcode result = rc == CURLE_OK ? curl_easy_perform(h) : static_cast<CURLcode>(rc);
        long status = 0;
        curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
        TRACE(L"error:%d:%ls status %ld", int(result), CurlErrorText(result).c_str(), status);
        hr = result == CURLE_ABORTED_BY_CALLBACK && binding.cancelled < 0
                 ? binding.cancelled
                 : MapResult(result, status);
        if (hr == S_OK && callback) {
            curl_off_t total = 0;
            curl_easy_getinfo(h, CURLINFO_SIZE_DOWNLOAD_T, &total);
            uint32_t now32 = 0, total32 = 0;
            To32Bits(total, total, &now32, &total32);
            callback->OnProgress(now32, total32, BINDSTATUS_ENDDOWNLOADDATA, nullptr);
        }
    }
    if (file && std::fclose(file.release()) != 0 && hr == S_OK)
        hr = E_FAIL;
    if (hr == S_OK) {
        std::remove(target.c_str());
        if (std::rename(temp.c_str(), target.c_str()) != 0) {
            TRACE(L"cannot move %hs onto %hs", temp.c_str(), target.c_str());
            hr = E_FAIL;
        }
    }
    if (hr != S_OK)
        std::remove(temp.c_str());
    if (callback)
        callback->OnStopBinding(hr, nullptr);
    return hr;
}

}  // namespace Download
