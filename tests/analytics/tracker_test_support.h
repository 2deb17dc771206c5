// Shared helpers of the tracker, catalogue and funnel tests (header only: the folder's
// build globs *_test.cpp and test_support.cpp).
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "analytics/core/flush.h"
#include "analytics/core/sdk.h"
#include "analytics/tracker_impl.h"
#include "tests/analytics/test_support.h"

namespace tracker_test {

/// A collector address on loopback where nothing listens: sends fail at once, so records
/// stay in the queue where the tests read them.
inline constexpr char kDeadUrl[] = "https://127.0.0.1:1/sa?project=pc";

inline orvan::analytics::TrackerConfig Config(const std::string& url = kDeadUrl) {
    orvan::analytics::TrackerConfig config;
    config.appName = "Glyphora.downloader";
    config.appVersion = "1.7.9";
    config.appStore = "glyphora-installer";
    config.dlAppId = "Glyphora";
    config.serverUrl = url;
    return config;
}

/// The queued records once no detached flush job holds any of them.
inline std::vector<std::string> Queued() {
    analytics_core::WaitForDetachedFlushJobs(std::chrono::seconds(20));
    return analytics_core::Sdk::queuedRecords();
}

/// The "event" of a record ("" for profile records).
inline std::string EventOf(const std::string& record) {
    static const std::regex event(R"re("event":"([^"]*)")re");
    std::smatch m;
    return std::regex_search(record, m, event) ? m[1].str() : std::string();
}

/// The "type" of a record.
inline std::string TypeOf(const std::string& record) {
    static const std::regex type(R"re("type":"([^"]*)"\}$)re");
    std::smatch m;
    return std::regex_search(record, m, type) ? m[1].str() : std::string();
}

/// The "properties" object of a record, as text.
inline std::string PropertiesOf(const std::string& record) {
    size_t start = record.find("\"properties\":{");
    if (start == std::string::npos)
        return {};
    start += 13;
    int depth = 0;
    bool inString = false;
    for (size_t i = start; i < record.size(); ++i) {
        char c = record[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '{') {
            ++depth;
        } else if (c == '}' && --depth == 0) {
            return record.substr(start, i - start + 1);
        }
    }
    return {};
}

/// True when the properties hold `"key":value` (value as rendered JSON).
inline bool HasProperty(const std::string& record, const std::string& key,
                        const std::string& value) {
    std::string properties = PropertiesOf(record);
    std::string fragment = "\"" + key + "\":" + value;
    size_t at = properties.find(fragment);
    while (at != std::string::npos) {
        char before = properties[at - 1];
        size_t end = at + fragment.size();
        if ((before == '{' || before == ',') &&
            (end < properties.size() && (properties[end] == ',' || properties[end] == '}'))) {
            return true;
        }
        at = properties.find(fragment, at + 1);
    }
    return false;
}

/// True when the properties have the key at all.
inline bool HasKey(const std::string& record, const std::string& key) {
    std::string properties = PropertiesOf(record);
    return properties.find("{\"" + key + "\":") != std::string::npos ||
           properties.find(",\"" + key + "\":") != std::string::npos;
}

inline std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

/// A private data folder (XDG_DATA_HOME) for the trackers of one test.
class DataHome {
public:
    DataHome() : env_("XDG_DATA_HOME", dir_.path().c_str()) {}
    const analytics_test::TempDir& dir() const { return dir_; }
    /// The default identity file of the test configuration's app name.
    std::string identityFile(const std::string& app = "Glyphora.downloader") const {
        return dir_.path() + "/OVLocal/" + app + "/" + app + "_OVSConfigure.ini";
    }
    std::string dataFolder(const std::string& app = "Glyphora.downloader") const {
        return dir_.path() + "/OVLocal/" + app + "/";
    }

private:
    analytics_test::TempDir dir_;
    analytics_test::ScopedEnv env_;
};

}  // namespace tracker_test
