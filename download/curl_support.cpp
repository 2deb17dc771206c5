#include "download/curl_support.h"

#include <cstdlib>

#include "utils/text.h"

namespace Download {

CURLcode ApplyTlsTrust(CURL* handle) {
    // Same precedence as the curl tool, so a test server's self-signed certificate is
    // trusted by the same environment that makes `curl` trust it.
    if (const char* bundle = std::getenv("CURL_CA_BUNDLE"); bundle && *bundle) {
        return curl_easy_setopt(handle, CURLOPT_CAINFO, bundle);
    }
    if (const char* dir = std::getenv("SSL_CERT_DIR"); dir && *dir) {
        return curl_easy_setopt(handle, CURLOPT_CAPATH, dir);
    }
    if (const char* file = std::getenv("SSL_CERT_FILE"); file && *file) {
        return curl_easy_setopt(handle, CURLOPT_CAINFO, file);
    }
    return CURLE_OK;
}

size_t DiscardBody(char*, size_t size, size_t count, void*) {
    return size * count;
}

std::wstring CurlErrorText(int code) {
    // The library answers "Unknown error" for codes it does not know; the negative codes
    // of this module are never handed to it (they are outside the enumeration's range).
    const char* text = code >= 0 ? curl_easy_strerror(static_cast<CURLcode>(code)) : nullptr;
    return Utils::ToWide(text ? text : "Unknown error", Utils::kCodePageSystem);
}

}  // namespace Download
