#include "analytics/core/object_node.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "analytics/core/validation.h"

namespace analytics_core {

const utils::ObjectNode* PropertyValue::object() const {
    const auto* p = std::get_if<std::shared_ptr<const utils::ObjectNode>>(&payload_);
    return p != nullptr ? p->get() : nullptr;
}

void AppendJsonString(std::string_view text, std::string& out) {
    static constexpr char kHex[] = "0123456789abcdef";
    out.push_back('"');
    for (char ch : text) {
        switch (ch) {
            case '\b':
                out += "\\b";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\r':
                out += "\\r";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            default: {
                const auto c = static_cast<unsigned char>(ch);
                // A raw control byte would make the record unparsable. Checked strings never
                // hold one; list items and keys are not checked, so they are escaped here.
                if (c < 0x20) {
                    out += "\\u00";
                    out.push_back(kHex[c >> 4]);
                    out.push_back(kHex[c & 0xF]);
                } else {
                    out.push_back(ch);
                }
            }
        }
    }
    out.push_back('"');
}

void AppendJsonNumber(double value, std::string& out) {
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    // to_chars with general format and precision 6 is printf's "%g" without the locale's
    // decimal separator, which is what a default-formatted stream gives.
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof(buf), value, std::chars_format::general, 6);
    out.append(buf, res.ptr);
}

namespace {

bool AppendDateTime(const DateTime& dt, std::string& out) {
    time_t secs = static_cast<time_t>(dt.seconds);
    std::tm tm{};
    if (::localtime_r(&secs, &tm) == nullptr)
        return false;
    char buf[80];
    int n =
        std::snprintf(buf, sizeof(buf), "\"%04d-%02d-%02d %02d:%02d:%02d.%03d\"", tm.tm_year + 1900,
                      tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, dt.milliseconds);
    if (n < 0 || static_cast<size_t>(n) >= sizeof(buf))
        return false;
    out.append(buf, static_cast<size_t>(n));
    return true;
}

}  // namespace

bool AppendJson(const PropertyValue& value, std::string& out) {
    switch (value.kind()) {
        case ValueKind::kNumber:
            AppendJsonNumber(*value.number(), out);
            return true;
        case ValueKind::kInteger: {
            char buf[24];
            auto res = std::to_chars(buf, buf + sizeof(buf), *value.integer());
            out.append(buf, res.ptr);
            return true;
        }
        case ValueKind::kString:
            AppendJsonString(*value.string(), out);
            return true;
        case ValueKind::kStringList: {
            out.push_back('[');
            bool first = true;
            for (const auto& item : *value.stringList()) {
                if (!first)
                    out.push_back(',');
                first = false;
                AppendJsonString(item, out);
            }
            out.push_back(']');
            return true;
        }
        case ValueKind::kDateTime:
            return AppendDateTime(*value.dateTime(), out);
        case ValueKind::kBoolean:
            out += *value.boolean() ? "true" : "false";
            return true;
        case ValueKind::kObject: {
            const utils::ObjectNode* node = value.object();
            if (node == nullptr) {
                out += "{}";
                return true;
            }
            return node->appendJson(out);
        }
    }
    return false;
}

namespace utils {

void ObjectNode::put(const std::string& key, PropertyValue value) {
    entries_.insert_or_assign(key, std::move(value));
}

void ObjectNode::setObject(const std::string& key, const ObjectNode& value) {
    // Stored as a plain ObjectNode copy: a nested map is data, not behaviour.
    put(key, PropertyValue(std::make_shared<const ObjectNode>(value)));
}

void ObjectNode::setNumber(const std::string& key, double value) {
    put(key, PropertyValue(value));
}

void ObjectNode::setInteger(const std::string& key, int32_t value) {
    put(key, PropertyValue(static_cast<int64_t>(value)));
}

void ObjectNode::setInteger(const std::string& key, int64_t value) {
    put(key, PropertyValue(value));
}

bool ObjectNode::setString(const std::string& key, const std::string& value) {
    if (value.size() > kMaxStringValueBytes) {
        WriteDiagnostic("String property '" + key + "' is too long, value: " + value);
        return false;
    }
    if (!isWellFormedUtf8(value)) {
        WriteDiagnostic("String property '" + key + "' is not valid UTF-8 string, value: " + value);
        return false;
    }
    put(key, PropertyValue(value));
    return true;
}

void ObjectNode::setStringList(const std::string& key, std::vector<std::string> value) {
    put(key, PropertyValue(std::move(value)));
}

void ObjectNode::setDateTime(const std::string& key, int64_t seconds, int milliseconds) {
    // Floor division keeps the value exact for negative milliseconds as well.
    int64_t carry = milliseconds / 1000;
    int ms = milliseconds % 1000;
    if (ms < 0) {
        ms += 1000;
        carry -= 1;
    }
    put(key, PropertyValue(DateTime{seconds + carry, ms}));
}

void ObjectNode::setBoolean(const std::string& key, bool value) {
    put(key, PropertyValue(value));
}

void ObjectNode::merge(const ObjectNode& other) {
    for (const auto& [key, value] : other.entries_)
        entries_.insert_or_assign(key, value);
}

const PropertyValue* ObjectNode::find(std::string_view key) const {
    auto it = entries_.find(key);
    return it != entries_.end() ? &it->second : nullptr;
}

bool ObjectNode::erase(std::string_view key) {
    auto it = entries_.find(key);
    if (it == entries_.end())
        return false;
    entries_.erase(it);
    return true;
}

bool ObjectNode::appendJson(std::string& out) const {
    out.push_back('{');
    bool first = true;
    for (const auto& [key, value] : entries_) {
        if (!first)
            out.push_back(',');
        first = false;
        // Keys are variable names or fixed record keys, for which escaping changes nothing;
        // escaping anyway keeps an unchecked super-property key from breaking the record.
        AppendJsonString(key, out);
        out.push_back(':');
        if (!AppendJson(value, out))
            return false;
    }
    out.push_back('}');
    return true;
}

std::string ObjectNode::toJson() const {
    std::string out;
    if (!appendJson(out))
        return {};
    return out;
}

}  // namespace utils

void PropertiesNode::setObject(const std::string&, const ObjectNode&) {}

}  // namespace analytics_core
