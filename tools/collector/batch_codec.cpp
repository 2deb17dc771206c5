#include "tools/collector/batch_codec.h"

#include <zlib.h>

#include <cstdint>

#include "tools/collector/json_check.h"

namespace collector {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

}  // namespace

bool PercentDecode(std::string_view text, std::string& out) {
    out.clear();
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '+') {
            out.push_back(' ');
        } else if (c == '%') {
            int hi = i + 1 < text.size() ? HexValue(text[i + 1]) : -1;
            int lo = i + 2 < text.size() ? HexValue(text[i + 2]) : -1;
            if (hi < 0 || lo < 0)
                return false;
            out.push_back(static_cast<char>(hi * 16 + lo));
            i += 2;
        } else {
            out.push_back(c);
        }
    }
    return true;
}

bool Base64Decode(std::string_view text, std::string& out) {
    out.clear();
    if (text.size() % 4 != 0)
        return false;
    out.reserve(text.size() / 4 * 3);
    for (size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        int v[4];
        int pad = 0;
        for (int k = 0; k < 4; ++k) {
            char c = text[i + k];
            if (c == '=') {
                // Padding only in the last group, only in its last two places, only at the end.
                if (!last || k < 2)
                    return false;
                ++pad;
                v[k] = 0;
            } else {
                if (pad > 0)
                    return false;
                v[k] = Base64Value(c);
                if (v[k] < 0)
                    return false;
            }
        }
        uint32_t n = (uint32_t(v[0]) << 18) | (uint32_t(v[1]) << 12) | (uint32_t(v[2]) << 6) |
                     uint32_t(v[3]);
        out.push_back(static_cast<char>((n >> 16) & 0xFF));
        if (pad < 2)
            out.push_back(static_cast<char>((n >> 8) & 0xFF));
        if (pad < 1)
            out.push_back(static_cast<char>(n & 0xFF));
    }
    return true;
}

bool GunzipBounded(std::string_view data, std::string& out, size_t limit) {
    out.clear();
    z_stream zs{};
    if (inflateInit2(&zs, 16 + 15) != Z_OK)
        return false;
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    unsigned char buf[32768];
    int rc = Z_OK;
    while (rc == Z_OK) {
        zs.next_out = buf;
        zs.avail_out = sizeof(buf);
        rc = inflate(&zs, Z_NO_FLUSH);
        size_t produced = sizeof(buf) - zs.avail_out;
        if (out.size() + produced > limit) {
            rc = Z_MEM_ERROR;
            break;
        }
        out.append(reinterpret_cast<const char*>(buf), produced);
        // No progress and no more input: the stream is cut off.
        if (rc == Z_OK && produced == 0 && zs.avail_in == 0)
            rc = Z_BUF_ERROR;
    }
    bool ok = rc == Z_STREAM_END && zs.avail_in == 0;
    inflateEnd(&zs);
    if (!ok)
        out.clear();
    return ok;
}

bool DecodeBatchBody(std::string_view body, std::string& batchText, std::string& error) {
    std::string_view dataList;
    bool haveData = false;
    bool gzip = false;
    size_t start = 0;
    while (start <= body.size()) {
        size_t amp = body.find('&', start);
        std::string_view field =
            body.substr(start, amp == std::string_view::npos ? body.npos : amp - start);
        size_t eq = field.find('=');
        std::string_view name = field.substr(0, eq);
        std::string_view value =
            eq == std::string_view::npos ? std::string_view{} : field.substr(eq + 1);
        if (name == "data_list") {
            dataList = value;
            haveData = true;
        } else if (name == "gzip") {
            gzip = value == "1";
        }
        if (amp == std::string_view::npos)
            break;
        start = amp + 1;
    }
    if (!haveData) {
        error = "no data_list field in the body";
        return false;
    }
    std::string base64;
    if (!PercentDecode(dataList, base64)) {
        error = "data_list has a malformed percent escape";
        return false;
    }
    std::string raw;
    if (!Base64Decode(base64, raw)) {
        error = "data_list is not valid Base64";
        return false;
    }
    if (!gzip) {
        batchText = std::move(raw);
        return true;
    }
    if (!GunzipBounded(raw, batchText)) {
        error = "data_list is not a complete gzip stream (or inflates beyond " +
                std::to_string(kMaxBatchTextBytes) + " bytes)";
        return false;
    }
    return true;
}

bool DecodeBatchRecords(std::string_view body, std::vector<std::string>& records,
                        std::string& error) {
    std::string text;
    if (!DecodeBatchBody(body, text, error))
        return false;
    std::string why;
    if (!ParseJsonArrayOfObjects(text, records, &why)) {
        error = "batch is not a JSON array of records: " + why;
        return false;
    }
    return true;
}

}  // namespace collector
