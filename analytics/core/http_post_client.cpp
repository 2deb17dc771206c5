#include "analytics/core/http_post_client.h"

#include <curl/curl.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "analytics/core/validation.h"

namespace analytics_core {
namespace {

constexpr char kUserAgent[] = "Orvan Analytics CPP SDK 0.9";

struct CurlDeleter {
    void operator()(CURL* h) const {
        curl_easy_reset(h);
        curl_easy_cleanup(h);
    }
};
struct SlistDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

std::string Trim(std::string_view s) {
    const char* ws = " \t\r\n\v\f";
    size_t b = s.find_first_not_of(ws);
    if (b == std::string_view::npos)
        return {};
    size_t e = s.find_last_not_of(ws);
    return std::string(s.substr(b, e - b + 1));
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto* response = static_cast<HttpResponse*>(user);
    response->body.append(data, size * count);
    return size * count;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto* response = static_cast<HttpResponse*>(user);
    std::string_view line(data, size * count);
    size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
        std::string name = Trim(line);
        if (!name.empty())
            response->headers[name] = "present";
    } else {
        response->headers[Trim(line.substr(0, colon))] = Trim(line.substr(colon + 1));
    }
    return size * count;
}

}  // namespace

HttpResponse HttpPostClient::post(const std::string& url, const std::string& body,
                                  const std::map<std::string, std::string>& headers,
                                  const std::string& contentType, long timeoutSeconds) {
    HttpResponse response;
    try {
        std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
        if (!curl)
            throw std::runtime_error("Couldn't initialize curl handle");
        CURL* h = curl.get();
        curl_easy_setopt(h, CURLOPT_POST, 1L);
        curl_easy_setopt(h, CURLOPT_POSTFIELDS, body.c_str());
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        // Records carry the user's identity: the peer is verified (host and chain). A
        // private collector is trusted by pointing CURL_CA_BUNDLE at its certificate.
        curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
        if (const char* bundle = std::getenv("CURL_CA_BUNDLE"); bundle != nullptr && *bundle)
            curl_easy_setopt(h, CURLOPT_CAINFO, bundle);
        curl_easy_setopt(h, CURLOPT_URL, url.c_str());
        curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &OnBody);
        curl_easy_setopt(h, CURLOPT_WRITEDATA, &response);
        curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &OnHeader);
        curl_easy_setopt(h, CURLOPT_HEADERDATA, &response);

        std::unique_ptr<curl_slist, SlistDeleter> list;
        auto append = [&list](const std::string& line) {
            curl_slist* next = curl_slist_append(list.get(), line.c_str());
            if (next == nullptr)
                throw std::runtime_error("Couldn't build request headers");
            (void)list.release();
            list.reset(next);
        };
        if (!contentType.empty())
            append("Content-Type: " + contentType);
        for (const auto& [name, value] : headers)
            append(name + ": " + value);
        if (list)
            curl_easy_setopt(h, CURLOPT_HTTPHEADER, list.get());

        curl_easy_setopt(h, CURLOPT_USERAGENT, kUserAgent);
        curl_easy_setopt(h, CURLOPT_TIMEOUT, timeoutSeconds);
        curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);

        CURLcode rc = curl_easy_perform(h);
        if (rc != CURLE_OK) {
            response.status = -1;
            response.body = curl_easy_strerror(rc);
        } else {
            long code = -1;
            curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &code);
            response.status = code;
        }
        // The header list must outlive the transfer: `list` is declared after `curl`, so it
        // is freed first only after perform has returned.
    } catch (const std::exception& e) {
        WriteDiagnostic(e.what());
        response.status = -1;
        response.body = e.what();
    }
    return response;
}

}  // namespace analytics_core
