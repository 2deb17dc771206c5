// The tracker implementation. Internal to analytics/: callers use the wrapper published by
// Tracker::create. Its operations raise OvException for invalid records; the wrapper
// swallows them.
#pragma once

#include <memory>
#include <string>

#include "analytics/core/flush.h"
#include "analytics/core/object_node.h"
#include "analytics/identity.h"
#include "analytics/system_facts.h"
#include "analytics/tracker.h"

namespace orvan::analytics {

/// What a tracker knows besides its configuration: the identity, its files and the pending
/// counter of the flush scheduling (shared, so a detached flush job never outlives it).
struct TrackerContext {
    TrackerIdentity identity;
    std::string trackLogPath;
    std::string dataFolder;    // ends with "/"; empty until resolved
    std::string identityFile;  // empty until resolved: then nothing is written
    std::string stagingFile;   // where unsent records wait for the next run
    std::string locale;        // setLocale's override
    analytics_core::PendingCounterPtr pending = std::make_shared<analytics_core::PendingCounter>(0);
};

/// The staging file of the record queue: data folder + app name + "_OVSQueue.txt".
inline constexpr char kStagingFileSuffix[] = "_OVSQueue.txt";
inline constexpr char kTrackLogSuffix[] = "_OVSLog.txt";

class TrackerImpl : public Tracker {
public:
    explicit TrackerImpl(const TrackerConfig& config);
    /// Shutdown: rewrites [Base] (when the identity file is known), makes up to three final
    /// flush attempts while reports are pending, shuts the core down (the queue keeps what
    /// is left in the staging file), closes the track log.
    ~TrackerImpl() override;

    /// Initialisation; raises OvException ("appName is empty", "appVersion is empty",
    /// "appStore is empty", "analytics_core::Sdk::Init is failed"). Run once.
    void init();

    void trackActivity(const OvContextProperties& context) override;
    void trackLaunch(const OvContextProperties& context) override;
    void trackLogin(const OvUserInfo& user, bool success, const std::string& reason,
                    const OvContextProperties& context) override;
    void trackClick(const OvEventClick& event, const OvContextProperties& context) override;
    void trackView(const OvEventView& event, const OvContextProperties& context) override;
    void trackCashier(const OvEventCashier& event, const OvContextProperties& context) override;
    void trackShare(const OvEventShare& event, const OvContextProperties& context) override;
    void trackTask(const OvEventTask& event, const OvContextProperties& context) override;
    void trackFile(const OvEventFile& event, const OvContextProperties& context) override;
    void trackOrder(const OvEventOrder& event, const OvContextProperties& context) override;
    void trackPayment(const OvEventPayment& event, const OvContextProperties& context) override;
    void trackUninstall(const std::string& reason, const OvContextProperties& context) override;
    void trackCrash(const std::string& reason) override;
    void trackUpdate(const OvEventUpdate& event, const OvContextProperties& context) override;
    void trackAppOpenNotification(const OvEventAppOpenNotification* event,
                                  const OvContextProperties& context) override;
    void setLocale(const std::string& locale) override;
    std::string anonymousId() override { return context_->identity.primaryDistinctId; }
    TrackLogger* trackLogger() override { return logger_.get(); }

    const TrackerContext& context() const { return *context_; }
    const std::string& serverUrl() const { return serverUrl_; }

    /// The preset properties registered as super properties at initialisation.
    analytics_core::PropertiesNode presetProperties() const;

private:
    enum class Flush { kNow, kDeferred };
    // Steps 3-5 of the common procedure: "$is_first_time", context properties, emit.
    void emitEvent(const char* name, EventType type, analytics_core::PropertiesNode& node,
                   const OvContextProperties* context, bool firstTime);
    // Step 7: pending counter and flush request.
    void schedule(Flush flush, bool countDeferred);
    void addPending(int count);
    void saveIdentity();

    std::string serverUrl_, appName_, appVersion_, appStore_, dlAppId_, dlAppVersion_;
    std::unique_ptr<NativeTrackLogger> logger_;
    int edition_ = 0;
    std::unique_ptr<TrackerContext> context_;
    bool ownsCore_ = false;  // this tracker's init created the core instance
    OsFacts os_;
};

}  // namespace orvan::analytics
