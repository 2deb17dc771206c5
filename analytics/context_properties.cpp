#include "analytics/context_properties.h"

#include "analytics/ov_exception.h"

namespace orvan::analytics {
namespace {

bool IsUpper(char c) {
    return c >= 'A' && c <= 'Z';
}
bool IsUpperOrDigit(char c) {
    return IsUpper(c) || (c >= '0' && c <= '9');
}

void CheckType(int type, const char* function) {
    if (type < 0 || type >= kEventTypeCount) {
        OV_THROW(function, "OvEvent[" + std::to_string(type) + "] overflow!");
    }
}

}  // namespace

bool isValidABValue(const std::string& value) {
    constexpr char kFunction[] = "isValidABValue";
    if (value.empty())
        return false;
    if (value.size() > 3)
        OV_THROW(kFunction, "value's length is great than 3.");
    if (!IsUpper(value[0]))
        OV_THROW(kFunction, "First char is not in A to Z");
    if (value.size() > 1 && !IsUpperOrDigit(value[1])) {
        OV_THROW(kFunction, "second char is not in A to Z and 0 to 9");
    }
    if (value.size() > 2 && !IsUpperOrDigit(value[2])) {
        OV_THROW(kFunction, "third char is not in A to Z and 0 to 9");
    }
    return true;
}

void OvContextProperties::setProperty(const std::vector<int>& types, const std::string& key,
                                      const std::string& value) {
    constexpr char kFunction[] = "setProperty";
    if (registry_.count(key) != 0)
        OV_THROW(kFunction, "Property[" + key + "] already exist!");
    auto shared = std::make_shared<const std::string>(value);
    registry_.emplace(key, shared);
    for (int type : types) {
        CheckType(type, kFunction);
        lists_[static_cast<size_t>(type)].push_back(
            {key, analytics_core::ValueKind::kString, shared});
    }
}

void OvContextProperties::setProperty(const std::vector<EventType>& types, const std::string& key,
                                      const std::string& value) {
    std::vector<int> numbers;
    numbers.reserve(types.size());
    for (EventType type : types)
        numbers.push_back(static_cast<int>(type));
    setProperty(numbers, key, value);
}

const std::vector<OvContextProperties::Entry>& OvContextProperties::getEventProperties(
    int type) const {
    CheckType(type, "getEventProperties");
    return lists_[static_cast<size_t>(type)];
}

bool OvContextProperties::apply(EventType type, analytics_core::PropertiesNode& node) const {
    const auto& entries = getEventProperties(static_cast<int>(type));
    for (const Entry& entry : entries) {
        if (entry.kind == analytics_core::ValueKind::kString && entry.value) {
            node.setString(entry.key, *entry.value);
        }
    }
    return !entries.empty();
}

}  // namespace orvan::analytics
