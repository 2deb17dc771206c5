// Small libcurl helpers shared by the download engine: an owning easy handle, the TLS trust
// settings taken from the environment, and the text of a result code.
#pragma once

#include <curl/curl.h>

#include <memory>
#include <string>

namespace Download {

struct CurlEasyDeleter {
    void operator()(CURL* handle) const {
        if (handle)
            curl_easy_cleanup(handle);
    }
};
/// An easy handle released with curl_easy_cleanup.
using CurlHandle = std::unique_ptr<CURL, CurlEasyDeleter>;

struct CurlSlistDeleter {
    void operator()(curl_slist* list) const {
        if (list)
            curl_slist_free_all(list);
    }
};
using CurlHeaders = std::unique_ptr<curl_slist, CurlSlistDeleter>;

/// Receive buffer of the body transfers: the size the curl tool asks for, so loopback and
/// fast links are not held back by many small reads. Changes nothing else of a transfer.
constexpr long kReceiveBufferBytes = 102400;

/// Points the handle's certificate store where the curl command-line tool would: the file
/// named by CURL_CA_BUNDLE, else the folder SSL_CERT_DIR, else the file SSL_CERT_FILE; the
/// library's built-in store when none is set. Verification itself stays on (the library's
/// default). Returns the result of the option setting (CURLE_OK when nothing was set).
CURLcode ApplyTlsTrust(CURL* handle);

/// A libcurl write callback that accepts and discards every block (header-only requests).
size_t DiscardBody(char* data, size_t size, size_t count, void* user);

/// curl_easy_strerror as a wide string (the library's texts are ASCII).
std::wstring CurlErrorText(int code);

}  // namespace Download
