// A minimal HTTPS POST on libcurl: one transfer handle per request, created and cleaned up
// around it.
//
// Certificates are verified. The certificate authorities come from the file named by the
// environment variable CURL_CA_BUNDLE when it is set (as for downloads), else from
// libcurl's built-in default bundle.
#pragma once

#include <map>
#include <string>

namespace analytics_core {

struct HttpResponse {
    /// The HTTP status, or -1 when the transfer failed.
    long status = -1;
    /// The response body, or the transfer library's error text when status is -1.
    std::string body;
    /// Response header names to values, trimmed; a line without ":" maps to "present".
    std::map<std::string, std::string> headers;
};

/// Seconds a whole analytics request may take.
constexpr long kPostTimeoutSeconds = 3;

class HttpPostClient {
public:
    /// POSTs `body` to `url`. "Content-Type" is sent only when `contentType` is not empty;
    /// `headers` follow in name order as "name: value". No redirect is followed. Never
    /// throws: a failure, including an exception inside, gives status -1 with its text
    /// as body (the text also goes to the error stream when it was an exception).
    HttpResponse post(const std::string& url, const std::string& body,
                      const std::map<std::string, std::string>& headers = {},
                      const std::string& contentType = {},
                      long timeoutSeconds = kPostTimeoutSeconds);
};

}  // namespace analytics_core
