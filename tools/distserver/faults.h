// Fault settings of glyphora-distserver, from flags or from a path prefix
// "/fault/<key=value,...>/".
#pragma once

#include <cstdint>
#include <string>

namespace DistServer {

enum class DigestMode { kCorrect, kWrong, kUpper, kNone };

struct Faults {
    int64_t rate = 0;             ///< bytes per second per response; 0 = unlimited
    int64_t cut = -1;             ///< close the connection after this many body bytes
    int64_t cutTimes = -1;        ///< only the first N bodies are cut; -1 = every one
    int64_t stall = -1;           ///< stop sending after this many body bytes ...
    int64_t stallSeconds = 3600;  ///< ... for this long, then close the connection
    int status = 0;               ///< answer every request of the package with this status
    int getStatus = 0;            ///< answer GET (not HEAD) of the package with this status
    bool noRanges = false;        ///< ignore Range headers: 200 with the whole file
    int64_t overrun = 0;          ///< bytes sent beyond a requested range
    DigestMode digest = DigestMode::kCorrect;
    int hops = -1;           ///< redirects before the final address; -1 = server default
    int64_t failFrom = -1;   ///< GETs whose range starts at or after this offset get 500
    int64_t failTimes = -1;  ///< only the first N of those fail (per fault prefix)
};

/// Applies one "key=value" setting (keys as the flags without "--": rate, cut, cut-times,
/// stall, stall-seconds, status, get-status, no-ranges, overrun, digest, hops,
/// fail-from, fail-times). False with
/// `error` set when the key or the value is not understood.
bool ApplyFault(Faults& faults, const std::string& key, const std::string& value,
                std::string& error);

/// Applies a comma-separated list of settings.
bool ApplyFaultList(Faults& faults, const std::string& list, std::string& error);

}  // namespace DistServer
