#include "tools/distserver/faults.h"

#include <charconv>

namespace DistServer {
namespace {

bool ParseInt(const std::string& text, int64_t min, int64_t& out) {
    int64_t value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || value < min)
        return false;
    out = value;
    return true;
}

}  // namespace

bool ApplyFault(Faults& faults, const std::string& key, const std::string& value,
                std::string& error) {
    int64_t number = 0;
    auto needInt = [&](int64_t min, auto& field) {
        if (!ParseInt(value, min, number)) {
            error = "bad value for " + key + ": '" + value + "'";
            return false;
        }
        field = static_cast<std::remove_reference_t<decltype(field)>>(number);
        return true;
    };
    if (key == "rate")
        return needInt(0, faults.rate);
    if (key == "cut")
        return needInt(0, faults.cut);
    if (key == "cut-times")
        return needInt(0, faults.cutTimes);
    if (key == "stall")
        return needInt(0, faults.stall);
    if (key == "stall-seconds")
        return needInt(0, faults.stallSeconds);
    if (key == "overrun")
        return needInt(0, faults.overrun);
    if (key == "hops")
        return needInt(0, faults.hops);
    if (key == "fail-from")
        return needInt(0, faults.failFrom);
    if (key == "fail-times")
        return needInt(0, faults.failTimes);
    if (key == "status" || key == "get-status") {
        int& field = key == "status" ? faults.status : faults.getStatus;
        if (!needInt(100, field))
            return false;
        if (field > 599) {
            error = "bad value for " + key + ": '" + value + "'";
            return false;
        }
        return true;
    }
    if (key == "no-ranges") {
        faults.noRanges = value.empty() || value == "1" || value == "true";
        return true;
    }
    if (key == "digest") {
        if (value == "correct") {
            faults.digest = DigestMode::kCorrect;
        } else if (value == "wrong") {
            faults.digest = DigestMode::kWrong;
        } else if (value == "upper") {
            faults.digest = DigestMode::kUpper;
        } else if (value == "none") {
            faults.digest = DigestMode::kNone;
        } else {
            error = "digest must be correct, wrong, upper or none, not '" + value + "'";
            return false;
        }
        return true;
    }
    error = "unknown fault '" + key + "'";
    return false;
}

bool ApplyFaultList(Faults& faults, const std::string& list, std::string& error) {
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(',', start);
        if (end == std::string::npos)
            end = list.size();
        const std::string item = list.substr(start, end - start);
        if (!item.empty()) {
            const size_t eq = item.find('=');
            const std::string key = item.substr(0, eq);
            const std::string value = eq == std::string::npos ? "" : item.substr(eq + 1);
            if (!ApplyFault(faults, key, value, error))
                return false;
        }
        start = end + 1;
    }
    return true;
}

}  // namespace DistServer
