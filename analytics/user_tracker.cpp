#include "analytics/user_tracker.h"

#include <unordered_map>

#include "analytics/core/sdk.h"
#include "analytics/ov_exception.h"

namespace orvan::analytics {
namespace {

using analytics_core::PropertiesNode;
using analytics_core::Sdk;

// Times from this value on are milliseconds (1975-01-01 in milliseconds is far above any
// plausible time in seconds).
constexpr int64_t kMillisecondsThreshold = 157789440000LL;

const std::unordered_map<std::string, ProfileOp>& OpMap() {
    static const std::unordered_map<std::string, ProfileOp> map = [] {
        std::unordered_map<std::string, ProfileOp> m;
        for (const char* key : {"$first_visit_time", "ov_first_visit_date", "$ios_install_source",
                                "ov_first_paid_date"}) {
            m[key] = ProfileOp::SetOnce;
        }
        for (const char* key : {"ov_visit_count", "ov_paid_count", "ov_consumption"}) {
            m[key] = ProfileOp::Increment;
        }
        for (const char* key : {"ov_label",
                                "ov_os",
                                "ov_os_version",
                                "ov_manufacturer",
                                "ov_model",
                                "ov_app_store",
                                "ov_app_platform",
                                "ov_last_app_id",
                                "ov_last_app_version",
                                "ov_carrier",
                                "ov_last_visit_date",
                                "aurora_pushid",
                                "ov_user_id",
                                "ov_user_name",
                                "ov_user_type",
                                "ov_user_nickname",
                                "ov_user_portrait",
                                "ov_user_mobilephone",
                                "ov_user_email",
                                "ov_user_weixin",
                                "ov_user_qq",
                                "ov_user_did",
                                "ov_user_created",
                                "ov_user_last_login",
                                "ov_user_last_ip",
                                "ov_user_vip_level",
                                "ov_user_vip_enddate",
                                "idfa",
                                "imei",
                                "android_id",
                                "oaid",
                                "ov_ip",
                                "ov_country_code",
                                "ov_country",
                                "ov_province",
                                "ov_city",
                                "ov_last_paid_date"}) {
            m[key] = ProfileOp::Set;
        }
        // No key of this system is an append key; the operation stays supported for keys
        // added to the map later.
        return m;
    }();
    return map;
}

[[noreturn]] void Unsupported(const char* function, const std::string& key) {
    OV_THROW(function, "Not supported user property [" + key + "]!");
}

// Applies number property `key` by its operation `op`: set once, set, or `increment()`,
// which emits the increment record (its form differs between whole and floating numbers).
// Raises OvException ("ProfileUserPropertyNumber") for append keys and unsupported keys.
template <typename Number, typename Increment>
void SetNumberProperty(ProfileOp op, const std::string& key, Number value,
                       const Increment& increment) {
    constexpr char kFunction[] = "ProfileUserPropertyNumber";
    switch (op) {
        case ProfileOp::SetOnce:
            Sdk::emitProfileSetOnce(key, value);
            return;
        case ProfileOp::Increment:
            increment();
            return;
        case ProfileOp::Set:
            Sdk::emitProfileSet(key, value);
            return;
        case ProfileOp::Append:
            OV_THROW(kFunction,
                     "user property [" + key + "] is number value, it cannot be append to list!");
        case ProfileOp::None:
            break;
    }
    Unsupported(kFunction, key);
}

}  // namespace

ProfileOp NativeUserTracker::opOf(const std::string& key) {
    auto it = OpMap().find(key);
    return it == OpMap().end() ? ProfileOp::None : it->second;
}

void NativeUserTracker::setString(const std::string& key, const std::string& text) {
    constexpr char kFunction[] = "ProfileUserPropertyString";
    switch (opOf(key)) {
        case ProfileOp::SetOnce:
            Sdk::emitProfileSetOnce(key, text);
            return;
        case ProfileOp::Set:
            Sdk::emitProfileSet(key, text);
            return;
        case ProfileOp::Append:
            Sdk::emitProfileAppend(key, text);
            return;
        case ProfileOp::Increment:
            OV_THROW(kFunction,
                     "user property [" + key + "] is string type value, it cannot be accumulated!");
        case ProfileOp::None:
            break;
    }
    Unsupported(kFunction, key);
}

void NativeUserTracker::setNumber(const std::string& key, int32_t value) {
    SetNumberProperty(opOf(key), key, value, [&] { Sdk::emitProfileIncrement(key, value); });
}

void NativeUserTracker::setNumber(const std::string& key, double value) {
    SetNumberProperty(opOf(key), key, value, [&] {
        PropertiesNode node;
        node.setNumber(key, value);
        Sdk::emitProfileIncrement(node);
    });
}

void NativeUserTracker::setDateTime(const std::string& key, int64_t time) {
    constexpr char kFunction[] = "ProfileUserPropertyDateTime";
    int64_t seconds = time;
    int milliseconds = 0;
    if (time >= kMillisecondsThreshold) {
        seconds = time / 1000;
        milliseconds = static_cast<int>(time % 1000);
    }
    PropertiesNode node;
    node.setDateTime(key, seconds, milliseconds);
    switch (opOf(key)) {
        case ProfileOp::SetOnce:
            Sdk::emitProfileSetOnce(node);
            return;
        case ProfileOp::Set:
            Sdk::emitProfileSet(node);
            return;
        case ProfileOp::Increment:
            OV_THROW(kFunction,
                     "user property [" + key + "] is boolean value, it cannot be accumulative!");
        case ProfileOp::Append:
            OV_THROW(kFunction,
                     "user property [" + key + "] is boolean value, it cannot be append to list!");
        case ProfileOp::None:
            break;
    }
    Unsupported(kFunction, key);
}

}  // namespace orvan::analytics
