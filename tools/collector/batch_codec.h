// Undoes the analytics batch body: form fields, percent-encoding, Base64 and gzip, then
// checks that the text is a JSON array of records.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace collector {

/// Largest decompressed batch accepted; a body that inflates beyond it is refused so that a
/// small hostile body cannot exhaust memory.
constexpr size_t kMaxBatchTextBytes = size_t{64} << 20;

/// Percent-decoding of a form value ("+" is a space). False on a "%" without two
/// hexadecimal digits.
bool PercentDecode(std::string_view text, std::string& out);

/// Strict standard Base64 (padding required, no white space). False on any other byte,
/// a length that is not a multiple of 4, or misplaced padding.
bool Base64Decode(std::string_view text, std::string& out);

/// Inflates one gzip stream (trailing bytes refused). False when the data is not a complete
/// gzip stream or inflates beyond `limit` bytes.
bool GunzipBounded(std::string_view data, std::string& out, size_t limit = kMaxBatchTextBytes);

/// The batch JSON text of a body "data_list=<value>[&gzip=1]": the value is percent-decoded
/// and Base64-decoded, then inflated when gzip=1. Fields may come in any order; unknown
/// fields are ignored. `error` names what was wrong.
bool DecodeBatchBody(std::string_view body, std::string& batchText, std::string& error);

/// DecodeBatchBody followed by the JSON check: `records` receives each record of the array
/// in compact form.
bool DecodeBatchRecords(std::string_view body, std::vector<std::string>& records,
                        std::string& error);

}  // namespace collector
