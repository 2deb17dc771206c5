// Packs one batch of analytics records into the collector's form body and posts it.
//
// Body: "data_list=" + percent-encoded standard Base64 of the gzip stream (zlib level 9,
// window bits 31) of the JSON array text + "&gzip=1". Status 200 is acceptance.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace analytics_core {

/// gzip-compresses `text` (deflate level 9, window bits 15 + 16, memory level 8, default
/// strategy, one finishing pass). On failure writes the message of the failure to the error
/// stream and returns false.
bool GzipCompress(std::string_view text, std::string& out);

/// Standard Base64 (A-Z a-z 0-9 + /) with "=" padding to a multiple of 4.
std::string Base64Encode(std::string_view bytes);

/// Letters, digits and "-" "." "_" "~" stay; every other byte becomes "%XX" (upper case).
std::string PercentEncode(std::string_view text);

/// The whole form body for a batch text. False when compression fails.
bool BuildBatchBody(std::string_view batchText, std::string& body);

/// Whether the last batch send of this process succeeded; false at start. Guarded by its
/// own mutex; written by BatchSender::send after every request.
bool LastSendOk();
void SetLastSendOk(bool ok);

class BatchSender {
public:
    /// `headers` are extra request headers (none in this system).
    explicit BatchSender(std::string serverUrl, std::map<std::string, std::string> headers = {});
    virtual ~BatchSender() = default;
    BatchSender(const BatchSender&) = delete;
    BatchSender& operator=(const BatchSender&) = delete;

    /// Encodes and posts one JSON array text; true only for status 200. Any other outcome
    /// writes "[analytics] Analytics SDK send failed" to the trace log and "Analytics SDK
    /// send failed: " + the response body to the error stream. Stores the outcome in
    /// LastSendOk unless compression failed (then no request is made). Virtual so that a
    /// queue can be driven without a network in tests.
    virtual bool send(const std::string& batchText);

    const std::string& serverUrl() const { return serverUrl_; }

private:
    std::string serverUrl_;
    std::map<std::string, std::string> headers_;
};

}  // namespace analytics_core
