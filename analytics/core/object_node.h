// The analytics value model: typed property values, key-ordered property maps and their
// compact JSON rendering.
//
// All strings are narrow byte strings holding UTF-8. Maps are ordered by byte-wise key
// comparison, so a rendered object always lists its keys in that order.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace analytics_core {

namespace utils {
class ObjectNode;
}

/// Kind codes of a PropertyValue; the JSON writer switches on them. The numbers are fixed.
enum class ValueKind : int {
    kNumber = 0,
    kInteger = 1,
    kString = 2,
    kStringList = 3,
    kDateTime = 4,
    kBoolean = 5,
    kObject = 6,
};

/// Seconds since 1970-01-01 UTC plus milliseconds 0..999.
struct DateTime {
    int64_t seconds = 0;
    int milliseconds = 0;
    bool operator==(const DateTime&) const = default;
};

/// A tagged value. An object payload is shared and never modified after it is stored, so
/// copying a value is cheap and copies never alias a mutable map.
class PropertyValue {
public:
    using Payload = std::variant<double, int64_t, std::string, std::vector<std::string>, DateTime,
                                 bool, std::shared_ptr<const utils::ObjectNode>>;

    PropertyValue() : payload_(int64_t{0}) {}
    explicit PropertyValue(Payload payload) : payload_(std::move(payload)) {}

    ValueKind kind() const { return static_cast<ValueKind>(payload_.index()); }
    const Payload& payload() const { return payload_; }

    /// Typed access; each returns null when the value is of another kind.
    const double* number() const { return std::get_if<double>(&payload_); }
    const int64_t* integer() const { return std::get_if<int64_t>(&payload_); }
    const std::string* string() const { return std::get_if<std::string>(&payload_); }
    const std::vector<std::string>* stringList() const {
        return std::get_if<std::vector<std::string>>(&payload_);
    }
    const DateTime* dateTime() const { return std::get_if<DateTime>(&payload_); }
    const bool* boolean() const { return std::get_if<bool>(&payload_); }
    const utils::ObjectNode* object() const;

private:
    Payload payload_;
};

/// Appends the JSON form of `value` to `out`. Never throws except for allocation failure.
/// Date-times use the machine's local calendar time; a date-time the calendar cannot
/// represent makes the call return false (the caller drops what it was rendering).
bool AppendJson(const PropertyValue& value, std::string& out);

/// Appends `text` as a JSON string: the named escapes (\b \t \n \f \r \" \\), every other
/// control byte below 0x20 as \u00XX so that the result is always valid JSON, all other
/// bytes unchanged.
void AppendJsonString(std::string_view text, std::string& out);

/// Appends a number in standard stream formatting with 6 significant digits ("2.5",
/// "1e+06", "3.14159"), independent of the process locale. JSON has no NaN or infinity:
/// those render as null.
void AppendJsonNumber(double value, std::string& out);

namespace utils {

/// A map from key to value ordered by byte-wise key comparison. Writing an existing key
/// replaces its value. setString applies the string checks (length, UTF-8) and reports a
/// refused value on the error stream; every other setter always stores.
class ObjectNode {
public:
    using Map = std::map<std::string, PropertyValue, std::less<>>;

    ObjectNode() = default;
    ObjectNode(const ObjectNode&) = default;
    ObjectNode& operator=(const ObjectNode&) = default;
    virtual ~ObjectNode() = default;

    /// The only virtual setter: stores a copy of `value` under `key`. PropertiesNode turns it
    /// into a no-op because event and profile properties never nest objects.
    virtual void setObject(const std::string& key, const ObjectNode& value);

    void setNumber(const std::string& key, double value);
    void setInteger(const std::string& key, int32_t value);
    void setInteger(const std::string& key, int64_t value);
    /// False (map unchanged, message written) when the value is over 8192 bytes or not
    /// well-formed UTF-8 by isWellFormedUtf8.
    bool setString(const std::string& key, const std::string& value);
    void setStringList(const std::string& key, std::vector<std::string> value);
    /// Milliseconds outside 0..999 are carried into the seconds.
    void setDateTime(const std::string& key, int64_t seconds, int milliseconds);
    void setBoolean(const std::string& key, bool value);

    /// Copies every entry of `other` into this map, overwriting equal keys.
    void merge(const ObjectNode& other);

    const PropertyValue* find(std::string_view key) const;
    bool erase(std::string_view key);
    bool empty() const { return entries_.empty(); }
    size_t size() const { return entries_.size(); }
    const Map& entries() const { return entries_; }

    /// Appends the compact JSON object (no white space, keys in map order). False when a
    /// value cannot be rendered (see AppendJson); `out` then holds a partial text.
    bool appendJson(std::string& out) const;
    /// The JSON text, or an empty string when a value cannot be rendered.
    std::string toJson() const;

protected:
    void put(const std::string& key, PropertyValue value);

private:
    Map entries_;
};

}  // namespace utils

/// Event and profile properties: an ObjectNode whose setObject does nothing.
class PropertiesNode : public utils::ObjectNode {
public:
    void setObject(const std::string& key, const ObjectNode& value) override;
};

}  // namespace analytics_core
