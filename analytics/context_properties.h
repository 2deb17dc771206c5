// Per-call context properties: values a caller attaches to the events of one tracking call,
// chosen per event type. The installer uses it for its A/B group value "ovc_ab".
#pragma once

#include <array>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "analytics/core/object_node.h"

namespace orvan::analytics {

/// Event types; they select which context properties an event receives.
enum class EventType : int {
    Activity = 0,
    Launch = 1,
    Login = 2,
    Click = 3,
    View = 4,
    Cashier = 5,
    Share = 6,
    Task = 7,
    File = 8,
    Order = 9,
    Payment = 10,
    Uninstall = 11,
    Update = 12,
    Crash = 13,
    AppOpenNotification = 14,
};
constexpr int kEventTypeCount = 15;

/// The key of the A/B group property.
inline constexpr char kAbPropertyKey[] = "ovc_ab";

/// False for an empty value (the caller then sets nothing), true for one to three bytes: an
/// upper-case letter followed by upper-case letters or digits. Anything else raises
/// OvException (function "isValidABValue") with the message of the first failed rule.
bool isValidABValue(const std::string& value);

/// One tracking call's context properties. Created, used and destroyed by one caller on one
/// thread.
class OvContextProperties {
public:
    struct Entry {
        std::string key;
        analytics_core::ValueKind kind;
        std::shared_ptr<const std::string> value;
    };

    /// Registers `key` and appends it with `value` to the list of each of `types`, in order.
    /// Raises OvException "Property[key] already exist!" for a second definition of a key and
    /// "OvEvent[N] overflow!" for a type number of 15 or more (the types before it keep the
    /// entry).
    void setProperty(const std::vector<int>& types, const std::string& key,
                     const std::string& value);
    void setProperty(const std::vector<EventType>& types, const std::string& key,
                     const std::string& value);

    /// The entries of one type. Raises "OvEvent[N] overflow!" for 15 or more.
    const std::vector<Entry>& getEventProperties(int type) const;

    /// Sets every entry of `type` on `node` with the string setter (which refuses values that
    /// are too long or not UTF-8). True when the list was not empty.
    bool apply(EventType type, analytics_core::PropertiesNode& node) const;

private:
    std::unordered_map<std::string, std::shared_ptr<const std::string>> registry_;
    std::array<std::vector<Entry>, kEventTypeCount> lists_;
};

}  // namespace orvan::analytics
