// User-profile records: which operation each known profile key allows, and the four typed
// setters that emit one profile record through the analytics core.
#pragma once

#include <cstdint>
#include <string>

namespace orvan::analytics {

/// The profile operation of a key; None for keys this system does not support.
enum class ProfileOp : int { None = 0, SetOnce = 1, Increment = 2, Set = 3, Append = 4 };

class NativeUserTracker {
public:
    /// The operation of `key` from the fixed map (built once per process, thread-safe).
    static ProfileOp opOf(const std::string& key);

    /// set once / set / append (one-element list). Raises OvException
    /// ("ProfileUserPropertyString") for increment keys and unsupported keys.
    static void setString(const std::string& key, const std::string& text);
    /// set once / increment / set; raises for append keys ("ProfileUserPropertyNumber").
    static void setNumber(const std::string& key, int32_t value);
    /// The same with a floating value (the increment record holds the number).
    static void setNumber(const std::string& key, double value);
    /// `time` of at least 157 789 440 000 is milliseconds, a smaller one whole seconds.
    /// set once / set; raises for increment and append keys ("ProfileUserPropertyDateTime").
    static void setDateTime(const std::string& key, int64_t time);
};

}  // namespace orvan::analytics
