// The analytics core: one process-wide instance that turns typed properties plus the
// current identity into rendered records and queues them for delivery.
//
// Every operation is static and works on the single instance; emit operations do nothing
// while there is none (before Init, after shutdown). Their results are ignored by callers:
// a rejected record is only reported on the error stream. Any thread may emit.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analytics/core/object_node.h"

namespace analytics_core {

/// Library markers stamped on every record ("lib") and into the super properties.
inline constexpr char kLibName[] = "cpp";
inline constexpr char kLibVersion[] = "0.9";
inline constexpr char kLibMethod[] = "code";

/// A 9-digit record number: 2 digits of rand() % 99 + 100, 3 digits of rand() % 999 + 1000
/// and the last 4 digits of the current time in milliseconds, read as one decimal integer
/// (0..989989999).
int64_t trackId();

class Sdk {
public:
    /// Creates the instance with its record queue (staging file `stagingPath`, collector
    /// `serverUrl`). False, with nothing created, when `distinctId` fails the identity rule;
    /// true without change when the instance exists already.
    static bool Init(const std::string& stagingPath, const std::string& serverUrl,
                     const std::string& distinctId, bool isLoginId);

    /// Waits for a running flush job (it holds the flush mutex), then destroys the instance:
    /// the queue writes what it still holds to its staging file.
    static void shutdown();

    static bool exists();

    /// "track" record for the current identity.
    static void emitTrack(const std::string& eventName, const PropertiesNode& properties);
    /// "track" record whose properties start with "$ios_install_source" = "" (a given value
    /// wins).
    static void emitActivation(const std::string& eventName, const PropertiesNode& properties);
    /// "track_signup" record "$SignUp" for `loginId` with the current id as "original_id";
    /// afterwards `loginId` is the distinct id and the login flag is set.
    static void emitSignup(const std::string& loginId);

    static void emitProfileSet(const PropertiesNode& properties);
    static void emitProfileSet(const std::string& key, const std::string& value);
    static void emitProfileSet(const std::string& key, int32_t value);
    static void emitProfileSet(const std::string& key, double value);
    static void emitProfileSetOnce(const PropertiesNode& properties);
    static void emitProfileSetOnce(const std::string& key, const std::string& value);
    static void emitProfileSetOnce(const std::string& key, int32_t value);
    static void emitProfileSetOnce(const std::string& key, double value);
    static void emitProfileIncrement(const PropertiesNode& properties);
    static void emitProfileIncrement(const std::string& key, int32_t value);
    /// "profile_append" whose property is the one-element list {value}.
    static void emitProfileAppend(const std::string& key, const std::string& value);

    /// Merged into the super properties (given values win).
    static void addSuperProperties(const PropertiesNode& properties);
    /// Super properties back to "$lib" and "$lib_version" only.
    static void resetSuperProperties();

    /// The direct identity update a facade performs after a login. False, with nothing
    /// changed, when there is no instance or the id fails the identity rule.
    static bool setIdentity(const std::string& distinctId, bool isLoginId);
    static std::string distinctId();
    static bool isLoginId();
    static PropertiesNode superProperties();

    /// Delivery entry points of the queue (see RecordQueue); false without an instance.
    static bool flushAll();
    /// Copy of the queued record texts, oldest first (empty without an instance).
    static std::vector<std::string> queuedRecords();
};

}  // namespace analytics_core
