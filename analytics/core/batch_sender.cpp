#include "analytics/core/batch_sender.h"

#include <zlib.h>

#include <mutex>

#include "analytics/core/http_post_client.h"
#include "analytics/core/validation.h"
#include "utils/trace_log.h"

namespace analytics_core {
namespace {

constexpr int kGzipLevel = 9;
constexpr int kGzipWindowBits = 15 + 16;  // 16 adds the gzip header and trailer
constexpr int kGzipMemLevel = 8;
constexpr size_t kDeflateChunk = 32768;

// Never destroyed: a detached flush thread may store an outcome while the process exits.
struct SendState {
    std::mutex mutex;
    bool lastSendOk = false;
};
SendState& State() {
    static auto* s = new SendState;
    return *s;
}

}  // namespace

bool GzipCompress(std::string_view text, std::string& out) {
    out.clear();
    z_stream zs{};
    if (deflateInit2(&zs, kGzipLevel, Z_DEFLATED, kGzipWindowBits, kGzipMemLevel,
                     Z_DEFAULT_STRATEGY) != Z_OK) {
        WriteDiagnostic("deflateInit2 failed while compressing.");
        return false;
    }
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    zs.avail_in = static_cast<uInt>(text.size());
    unsigned char buf[kDeflateChunk];
    int rc;
    do {
        zs.next_out = buf;
        zs.avail_out = sizeof(buf);
        rc = deflate(&zs, Z_FINISH);
        out.append(reinterpret_cast<const char*>(buf), sizeof(buf) - zs.avail_out);
    } while (rc == Z_OK);
    if (rc != Z_STREAM_END) {
        std::string line = "Exception during zlib compression: (" + std::to_string(rc) + ") ";
        if (zs.msg != nullptr)
            line += zs.msg;
        deflateEnd(&zs);
        WriteDiagnostic(line);
        out.clear();
        return false;
    }
    deflateEnd(&zs);
    return true;
}

std::string Base64Encode(std::string_view bytes) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    for (; i + 3 <= bytes.size(); i += 3) {
        uint32_t v = (uint32_t{p[i]} << 16) | (uint32_t{p[i + 1]} << 8) | p[i + 2];
        out.push_back(kAlphabet[(v >> 18) & 63]);
        out.push_back(kAlphabet[(v >> 12) & 63]);
        out.push_back(kAlphabet[(v >> 6) & 63]);
        out.push_back(kAlphabet[v & 63]);
    }
    size_t rest = bytes.size() - i;
    if (rest > 0) {
        uint32_t v = uint32_t{p[i]} << 16;
        if (rest == 2)
            v |= uint32_t{p[i + 1]} << 8;
        out.push_back(kAlphabet[(v >> 18) & 63]);
        out.push_back(kAlphabet[(v >> 12) & 63]);
        out.push_back(rest == 2 ? kAlphabet[(v >> 6) & 63] : '=');
        out.push_back('=');
    }
    return out;
}

std::string PercentEncode(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '-' || c == '.' || c == '_' || c == '~';
        if (keep) {
            out.push_back(ch);
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 0xF]);
        }
    }
    return out;
}

bool BuildBatchBody(std::string_view batchText, std::string& body) {
    std::string compressed;
    if (!GzipCompress(batchText, compressed))
        return false;
    body = "data_list=" + PercentEncode(Base64Encode(compressed)) + "&gzip=1";
    return true;
}

bool LastSendOk() {
    std::lock_guard<std::mutex> lock(State().mutex);
    return State().lastSendOk;
}

void SetLastSendOk(bool ok) {
    std::lock_guard<std::mutex> lock(State().mutex);
    State().lastSendOk = ok;
}

BatchSender::BatchSender(std::string serverUrl, std::map<std::string, std::string> headers)
    : serverUrl_(std::move(serverUrl)), headers_(std::move(headers)) {}

bool BatchSender::send(const std::string& batchText) {
    std::string body;
    if (!BuildBatchBody(batchText, body))
        return false;
    HttpResponse response = HttpPostClient().post(serverUrl_, body, headers_);
    bool ok = response.status == 200;
    if (!ok) {
        TRACE(L"[analytics] Analytics SDK send failed");
        WriteDiagnostic("Analytics SDK send failed: " + response.body);
    }
    SetLastSendOk(ok);
    return ok;
}

}  // namespace analytics_core
