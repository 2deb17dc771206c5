// The tracker facade: what the rest of the system calls to report usage.
//
// One operation per event kind of the catalogue (events.h). Each validates its record,
// converts free text to UTF-8, maps the fields to fixed property keys, adds the per-call
// context properties, emits the record through the analytics core and asks for a flush.
// Callers use the TrackerWrapper published by Tracker::create (globalTracker()), which
// swallows every OvException so that no failure of analytics reaches them. Any thread may
// call the tracking operations.
#pragma once

#include <cstdint>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "analytics/context_properties.h"
#include "analytics/events.h"
#include "analytics/ov_exception.h"

namespace orvan::analytics {

/// The installer's tracker identity and where it reports to.
struct TrackerConfig {
    std::string appName;  // UTF-8 or system code page, as every field here
    std::string appVersion;
    std::string appStore;
    std::string dlAppId;       // sent as "ov_dlapp_id" when not empty
    std::string dlAppVersion;  // sent as "ov_dlapp_version" when not empty
    std::string trackLogPath;  // empty: data folder + app name + "_OVSLog.txt"
    int edition = 0;           // Edition: 0 china, 1 overseas
    std::string serverUrl;     // empty: DefaultServerUrl()
};

/// The product's own collection endpoint (https, path and query "/sa?project=pc").
std::string DefaultServerUrl();

/// Text that is empty or already well-formed UTF-8 is returned unchanged; anything else is
/// read as `codePage` (the system code page by default) and converted to UTF-8.
std::string toUtf8(const std::string& text, unsigned codePage = 0);

/// A local track log. Nothing in this system writes entries; the log file is created.
class TrackLogger {
public:
    virtual ~TrackLogger() = default;
    /// The entries written so far, one per line.
    virtual std::vector<std::string> readEntries() = 0;
    /// Empties the log.
    virtual void clear() = 0;
};

class NativeTrackLogger : public TrackLogger {
public:
    NativeTrackLogger() = default;
    ~NativeTrackLogger() override;

    /// Opens `path` for reading and writing, creating it empty when missing, after closing
    /// the file open before. Reopening the path already open does nothing. False when the
    /// file cannot be opened.
    bool open(const std::string& path);
    std::vector<std::string> readEntries() override;
    void clear() override;
    const std::string& path() const { return path_; }
    /// -1 when unknown.
    int64_t entryCount() const { return entryCount_; }

private:
    std::string path_;
    std::fstream file_;
    std::mutex mutex_;
    int64_t entryCount_ = -1;
};

class Tracker {
public:
    virtual ~Tracker() = default;

    virtual void trackActivity(const OvContextProperties& context) = 0;
    virtual void trackLaunch(const OvContextProperties& context) = 0;
    virtual void trackLogin(const OvUserInfo& user, bool success, const std::string& reason,
                            const OvContextProperties& context) = 0;
    virtual void trackClick(const OvEventClick& event, const OvContextProperties& context) = 0;
    virtual void trackView(const OvEventView& event, const OvContextProperties& context) = 0;
    virtual void trackCashier(const OvEventCashier& event, const OvContextProperties& context) = 0;
    virtual void trackShare(const OvEventShare& event, const OvContextProperties& context) = 0;
    virtual void trackTask(const OvEventTask& event, const OvContextProperties& context) = 0;
    virtual void trackFile(const OvEventFile& event, const OvContextProperties& context) = 0;
    virtual void trackOrder(const OvEventOrder& event, const OvContextProperties& context) = 0;
    virtual void trackPayment(const OvEventPayment& event, const OvContextProperties& context) = 0;
    virtual void trackUninstall(const std::string& reason, const OvContextProperties& context) = 0;
    virtual void trackCrash(const std::string& reason) = 0;
    virtual void trackUpdate(const OvEventUpdate& event, const OvContextProperties& context) = 0;
    virtual void trackAppOpenNotification(const OvEventAppOpenNotification* event,
                                          const OvContextProperties& context) = 0;
    /// `locale` is language and country joined by "_" ("zh_CN").
    virtual void setLocale(const std::string& locale) = 0;
    /// The primary (anonymous) distinct id.
    virtual std::string anonymousId() = 0;
    virtual TrackLogger* trackLogger() = 0;

    /// Releases any previous tracker, then creates, initialises (an initialisation failure
    /// is swallowed: the tracker then sends nothing) and publishes a new one.
    static void create(const TrackerConfig& config);
    /// Unpublishes the tracker; the last holder's release shuts it down (final flushes).
    static void release();
};

/// The published tracker (a TrackerWrapper), or null before create and after release.
std::shared_ptr<Tracker> globalTracker();

/// Forwards to an implementation and swallows everything it raises; for every failed
/// tracking operation it writes "Failed to <operation>" to standard output when the
/// implementation has a track logger.
class TrackerWrapper : public Tracker {
public:
    explicit TrackerWrapper(std::unique_ptr<Tracker> impl) : impl_(std::move(impl)) {}

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
    std::string anonymousId() override;
    /// Always null: the wrapper has no log of its own.
    TrackLogger* trackLogger() override { return nullptr; }

private:
    template <typename Call>
    void guard(const char* operation, Call&& call);

    std::unique_ptr<Tracker> impl_;
};

}  // namespace orvan::analytics
