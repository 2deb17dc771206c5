#include "analytics/core/sdk.h"

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <memory>
#include <mutex>
#include <shared_mutex>

#include "analytics/core/flush.h"
#include "analytics/core/record_queue.h"
#include "analytics/core/validation.h"

namespace analytics_core {
namespace {

constexpr char kTypeTrack[] = "track";
constexpr char kTypeSignup[] = "track_signup";
constexpr char kTypeProfileSet[] = "profile_set";
constexpr char kTypeProfileSetOnce[] = "profile_set_once";
constexpr char kTypeProfileIncrement[] = "profile_increment";
constexpr char kTypeProfileAppend[] = "profile_append";
constexpr char kSignupEvent[] = "$SignUp";

struct Instance {
    std::mutex identityMutex;  // guards the three fields below
    PropertiesNode superProperties;
    std::string distinctId;
    bool isLoginId = false;
    std::unique_ptr<RecordQueue> queue;
};

// The instance pointer and the lock that keeps it alive while an operation uses it. Emits
// and flushes hold it shared; Init and shutdown hold it exclusively. Never destroyed, so a
// detached flush thread still running at process exit finds valid objects.
struct Global {
    std::shared_mutex mutex;
    std::unique_ptr<Instance> instance;
};
Global& G() {
    static auto* g = new Global;
    return *g;
}

int64_t NowMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

void ResetSuper(PropertiesNode& node) {
    node = PropertiesNode();
    node.setString("$lib", kLibName);
    node.setString("$lib_version", kLibVersion);
}

// The properties check: every key a variable name, "$time" a date-time, "$project" a
// string. The first failure rejects the record.
bool CheckProperties(const PropertiesNode& properties) {
    for (const auto& [key, value] : properties.entries()) {
        if (!isVariableName(key, "Property Key"))
            return false;
        if (key == "$time" && value.kind() != ValueKind::kDateTime) {
            WriteDiagnostic("The property '$time' should be DateTime type.");
            return false;
        }
        if (key == "$project" && value.kind() != ValueKind::kString) {
            WriteDiagnostic("The property '$project' should be String type.");
            return false;
        }
    }
    return true;
}

// Builds, renders and queues one record. The caller holds the global lock shared and
// passes the live instance. `distinctId`/`originalId` are the record's identities.
void BuildRecord(Instance& sdk, const std::string& type, const std::string& eventName,
                 const PropertiesNode& properties, const std::string& distinctId,
                 const std::string& originalId) {
    if (!CheckProperties(properties))
        return;
    const bool isTrack = type == kTypeTrack;
    const bool isSignup = type == kTypeSignup;
    if (isTrack && !isVariableName(eventName, "Event Name"))
        return;
    if (isSignup && !checkIdentity(originalId, "Original ID"))
        return;

    PropertiesNode merged;
    bool loginFlag;
    {
        std::lock_guard<std::mutex> lock(sdk.identityMutex);
        if (type.find("track") != std::string::npos)
            merged.merge(sdk.superProperties);
        loginFlag = sdk.isLoginId;
    }
    merged.merge(properties);

    int64_t time = NowMilliseconds();
    if (const PropertyValue* t = merged.find("$time"); t != nullptr && t->dateTime()) {
        const DateTime dt = *t->dateTime();
        // seconds * 1000 must not overflow: such a time cannot be meant.
        constexpr int64_t kMaxSeconds = std::numeric_limits<int64_t>::max() / 1000 - 1;
        if (dt.seconds > kMaxSeconds || dt.seconds < -kMaxSeconds) {
            WriteDiagnostic("The property '$time' is out of range.");
            return;
        }
        time = dt.seconds * 1000 + dt.milliseconds;
        merged.erase("$time");
    }
    std::string project;
    if (const PropertyValue* p = merged.find("$project"); p != nullptr) {
        if (p->string() != nullptr)
            project = *p->string();
        merged.erase("$project");
    }
    if (loginFlag)
        merged.setBoolean("$is_login_id", true);

    utils::ObjectNode lib;
    lib.setString("$lib", kLibName);
    lib.setString("$lib_version", kLibVersion);
    lib.setString("$lib_method", kLibMethod);

    utils::ObjectNode record;
    record.setString("type", type);
    record.setInteger("time", time);
    record.setString("distinct_id", distinctId);
    record.setObject("properties", merged);
    record.setObject("lib", lib);
    record.setInteger("_track_id", trackId());
    if (!project.empty())
        record.setString("project", project);
    if (isTrack || isSignup)
        record.setString("event", eventName);
    if (isSignup)
        record.setString("original_id", originalId);

    std::string text;
    if (!record.appendJson(text)) {
        // Only this record is lost; the queue is untouched.
        WriteDiagnostic("Failed to render the " + type + " record '" + eventName +
                        "': a date-time property is out of range.");
        return;
    }
    sdk.queue->add(std::move(text));
}

// Runs `fn(instance, distinctId)` under the shared lock when the instance exists.
template <typename Fn>
void WithInstance(Fn&& fn) {
    std::shared_lock<std::shared_mutex> lock(G().mutex);
    if (!G().instance)
        return;
    Instance& sdk = *G().instance;
    std::string id;
    {
        std::lock_guard<std::mutex> idLock(sdk.identityMutex);
        id = sdk.distinctId;
    }
    fn(sdk, id);
}

void EmitProfile(const char* type, const PropertiesNode& properties) {
    WithInstance([&](Instance& sdk, const std::string& id) {
        BuildRecord(sdk, type, "", properties, id, "");
    });
}

PropertiesNode OneString(const std::string& key, const std::string& value) {
    PropertiesNode node;
    node.setString(key, value);
    return node;
}
PropertiesNode OneInteger(const std::string& key, int32_t value) {
    PropertiesNode node;
    node.setInteger(key, value);
    return node;
}
PropertiesNode OneNumber(const std::string& key, double value) {
    PropertiesNode node;
    node.setNumber(key, value);
    return node;
}

}  // namespace

int64_t trackId() {
    int r1 = (std::rand() % 99 + 100) % 100;
    int r2 = (std::rand() % 999 + 1000) % 1000;
    int64_t t = NowMilliseconds() % 10000;
    if (t < 0)
        t += 10000;
    return (static_cast<int64_t>(r1) * 1000 + r2) * 10000 + t;
}

bool Sdk::Init(const std::string& stagingPath, const std::string& serverUrl,
               const std::string& distinctId, bool isLoginId) {
    if (!checkIdentity(distinctId, "Distinct ID"))
        return false;
    std::unique_lock<std::shared_mutex> lock(G().mutex);
    if (G().instance)
        return true;
    auto sdk = std::make_unique<Instance>();
    ResetSuper(sdk->superProperties);
    sdk->distinctId = distinctId;
    sdk->isLoginId = isLoginId;
    sdk->queue =
        std::make_unique<RecordQueue>(stagingPath, std::make_unique<BatchSender>(serverUrl));
    G().instance = std::move(sdk);
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    return true;
}

void Sdk::shutdown() {
    // Flush mutex first (the documented order): a flush job running on a detached thread
    // finishes before the queue goes away.
    std::lock_guard<std::mutex> flushLock(FlushMutex());
    std::unique_ptr<Instance> doomed;
    {
        std::unique_lock<std::shared_mutex> lock(G().mutex);
        doomed = std::move(G().instance);
    }
    doomed.reset();  // the queue writes its staging file here
}

bool Sdk::exists() {
    std::shared_lock<std::shared_mutex> lock(G().mutex);
    return G().instance != nullptr;
}

void Sdk::emitTrack(const std::string& eventName, const PropertiesNode& properties) {
    WithInstance([&](Instance& sdk, const std::string& id) {
        BuildRecord(sdk, kTypeTrack, eventName, properties, id, "");
    });
}

void Sdk::emitActivation(const std::string& eventName, const PropertiesNode& properties) {
    PropertiesNode node;
    node.setString("$ios_install_source", "");
    node.merge(properties);
    emitTrack(eventName, node);
}

void Sdk::emitSignup(const std::string& loginId) {
    WithInstance([&](Instance& sdk, const std::string& id) {
        BuildRecord(sdk, kTypeSignup, kSignupEvent, PropertiesNode(), loginId, id);
        std::lock_guard<std::mutex> lock(sdk.identityMutex);
        sdk.distinctId = loginId;
        sdk.isLoginId = true;
    });
}

void Sdk::emitProfileSet(const PropertiesNode& p) {
    EmitProfile(kTypeProfileSet, p);
}
void Sdk::emitProfileSet(const std::string& k, const std::string& v) {
    EmitProfile(kTypeProfileSet, OneString(k, v));
}
void Sdk::emitProfileSet(const std::string& k, int32_t v) {
    EmitProfile(kTypeProfileSet, OneInteger(k, v));
}
void Sdk::emitProfileSet(const std::string& k, double v) {
    EmitProfile(kTypeProfileSet, OneNumber(k, v));
}
void Sdk::emitProfileSetOnce(const PropertiesNode& p) {
    EmitProfile(kTypeProfileSetOnce, p);
}
void Sdk::emitProfileSetOnce(const std::string& k, const std::string& v) {
    EmitProfile(kTypeProfileSetOnce, OneString(k, v));
}
void Sdk::emitProfileSetOnce(const std::string& k, int32_t v) {
    EmitProfile(kTypeProfileSetOnce, OneInteger(k, v));
}
void Sdk::emitProfileSetOnce(const std::string& k, double v) {
    EmitProfile(kTypeProfileSetOnce, OneNumber(k, v));
}
void Sdk::emitProfileIncrement(const PropertiesNode& p) {
    EmitProfile(kTypeProfileIncrement, p);
}
void Sdk::emitProfileIncrement(const std::string& k, int32_t v) {
    EmitProfile(kTypeProfileIncrement, OneInteger(k, v));
}
void Sdk::emitProfileAppend(const std::string& key, const std::string& value) {
    PropertiesNode node;
    node.setStringList(key, {value});
    EmitProfile(kTypeProfileAppend, node);
}

void Sdk::addSuperProperties(const PropertiesNode& properties) {
    WithInstance([&](Instance& sdk, const std::string&) {
        std::lock_guard<std::mutex> lock(sdk.identityMutex);
        sdk.superProperties.merge(properties);
    });
}

void Sdk::resetSuperProperties() {
    WithInstance([&](Instance& sdk, const std::string&) {
        std::lock_guard<std::mutex> lock(sdk.identityMutex);
        ResetSuper(sdk.superProperties);
    });
}

bool Sdk::setIdentity(const std::string& distinctId, bool isLoginId) {
    if (!checkIdentity(distinctId, "Distinct ID"))
        return false;
    bool done = false;
    WithInstance([&](Instance& sdk, const std::string&) {
        std::lock_guard<std::mutex> lock(sdk.identityMutex);
        sdk.distinctId = distinctId;
        sdk.isLoginId = isLoginId;
        done = true;
    });
    return done;
}

std::string Sdk::distinctId() {
    std::string id;
    WithInstance([&](Instance&, const std::string& current) { id = current; });
    return id;
}

bool Sdk::isLoginId() {
    bool flag = false;
    WithInstance([&](Instance& sdk, const std::string&) {
        std::lock_guard<std::mutex> lock(sdk.identityMutex);
        flag = sdk.isLoginId;
    });
    return flag;
}

PropertiesNode Sdk::superProperties() {
    PropertiesNode copy;
    WithInstance([&](Instance& sdk, const std::string&) {
        std::lock_guard<std::mutex> lock(sdk.identityMutex);
        copy = sdk.superProperties;
    });
    return copy;
}

bool Sdk::flushAll() {
    bool ok = false;
    WithInstance([&](Instance& sdk, const std::string&) { ok = sdk.queue->flushAll(); });
    return ok;
}

std::vector<std::string> Sdk::queuedRecords() {
    std::vector<std::string> out;
    WithInstance([&](Instance& sdk, const std::string&) { out = sdk.queue->records(); });
    return out;
}

}  // namespace analytics_core
