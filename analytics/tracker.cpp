// [SECTION] Text and endpoint helpers
// [SECTION] NativeTrackLogger
// [SECTION] Publication: create, release, globalTracker
// [SECTION] TrackerWrapper
// [SECTION] TrackerImpl: initialisation, common procedure, locale, shutdown
// The fifteen tracking operations are in catalogue.cpp.
#include "analytics/tracker.h"

#include <sys/stat.h>

#include <cstdio>
#include <iostream>

#include "analytics/core/sdk.h"
#include "analytics/core/validation.h"
#include "analytics/tracker_impl.h"
#include "utils/text.h"
#include "utils/trace_log.h"

namespace orvan::analytics {

using analytics_core::PropertiesNode;
using analytics_core::Sdk;

// [SECTION] Text and endpoint helpers

std::string DefaultServerUrl() {
    return "https://analytics.lexivo.example/sa?project=pc";
}

std::string toUtf8(const std::string& text, unsigned codePage) {
    if (text.empty() || analytics_core::isWellFormedUtf8(text))
        return text;
    return Utils::ToNarrow(Utils::ToWide(text, codePage), Utils::kCodePageUtf8);
}

// [SECTION] NativeTrackLogger

NativeTrackLogger::~NativeTrackLogger() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (file_.is_open())
        file_.close();
}

bool NativeTrackLogger::open(const std::string& path) {
    if (!path.empty() && path == path_)
        return true;
    std::lock_guard<std::mutex> lock(mutex_);
    if (file_.is_open())
        file_.close();
    entryCount_ = 0;
    {
        // Create it empty when missing; an existing log keeps its entries.
        std::ofstream create(path, std::ios::app);
    }
    file_.clear();
    file_.open(path, std::ios::in | std::ios::out);
    path_ = path;
    if (!file_.is_open()) {
        TRACE(L"analytics: cannot open the track log %s\r\n", path.c_str());
        return false;
    }
    return true;
}

std::vector<std::string> NativeTrackLogger::readEntries() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> entries;
    if (!file_.is_open())
        return entries;
    file_.clear();
    file_.seekg(0);
    for (std::string line; std::getline(file_, line);) {
        if (!line.empty())
            entries.push_back(line);
    }
    file_.clear();
    entryCount_ = static_cast<int64_t>(entries.size());
    return entries;
}

void NativeTrackLogger::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (path_.empty())
        return;
    if (file_.is_open())
        file_.close();
    { std::ofstream truncate(path_, std::ios::trunc); }
    file_.clear();
    file_.open(path_, std::ios::in | std::ios::out);
    entryCount_ = 0;
}

// [SECTION] Publication: create, release, globalTracker

namespace {

struct Published {
    std::mutex mutex;
    std::shared_ptr<Tracker> tracker;
};
Published& Global() {
    static auto* published = new Published;  // never destroyed: crash reports may come late
    return *published;
}

}  // namespace

std::shared_ptr<Tracker> globalTracker() {
    std::lock_guard<std::mutex> lock(Global().mutex);
    return Global().tracker;
}

void Tracker::create(const TrackerConfig& config) {
    // The previous tracker goes first: it owns the core instance, which a new one must
    // create for itself.
    release();
    auto impl = std::make_unique<TrackerImpl>(config);
    try {
        impl->init();
    } catch (const std::exception& e) {
        TRACE(L"analytics: tracker initialisation failed: %s\r\n", e.what());
    } catch (...) {
        TRACE(L"analytics: tracker initialisation failed\r\n");
    }
    auto wrapper = std::make_shared<TrackerWrapper>(std::move(impl));
    std::lock_guard<std::mutex> lock(Global().mutex);
    Global().tracker = std::move(wrapper);
}

void Tracker::release() {
    std::shared_ptr<Tracker> old;
    {
        std::lock_guard<std::mutex> lock(Global().mutex);
        old.swap(Global().tracker);
    }
    // Shutdown (final flushes) runs here, outside the lock, unless another thread still
    // holds the tracker for a report; the last holder then runs it.
}

// [SECTION] TrackerWrapper

template <typename Call>
void TrackerWrapper::guard(const char* operation, Call&& call) {
    if (!impl_)
        return;
    try {
        call(*impl_);
    } catch (...) {
        if (impl_->trackLogger() != nullptr) {
            std::cout << "Failed to " << operation << std::endl;
        }
    }
}

void TrackerWrapper::trackActivity(const OvContextProperties& c) {
    guard("trackActivity", [&](Tracker& t) { t.trackActivity(c); });
}
void TrackerWrapper::trackLaunch(const OvContextProperties& c) {
    guard("trackLaunch", [&](Tracker& t) { t.trackLaunch(c); });
}
void TrackerWrapper::trackLogin(const OvUserInfo& u, bool s, const std::string& r,
                                const OvContextProperties& c) {
    guard("trackLogin", [&](Tracker& t) { t.trackLogin(u, s, r, c); });
}
void TrackerWrapper::trackClick(const OvEventClick& e, const OvContextProperties& c) {
    guard("trackClick", [&](Tracker& t) { t.trackClick(e, c); });
}
void TrackerWrapper::trackView(const OvEventView& e, const OvContextProperties& c) {
    guard("trackView", [&](Tracker& t) { t.trackView(e, c); });
}
void TrackerWrapper::trackCashier(const OvEventCashier& e, const OvContextProperties& c) {
    guard("trackCashier", [&](Tracker& t) { t.trackCashier(e, c); });
}
void TrackerWrapper::trackShare(const OvEventShare& e, const OvContextProperties& c) {
    guard("trackShare", [&](Tracker& t) { t.trackShare(e, c); });
}
void TrackerWrapper::trackTask(const OvEventTask& e, const OvContextProperties& c) {
    guard("trackTask", [&](Tracker& t) { t.trackTask(e, c); });
}
void TrackerWrapper::trackFile(const OvEventFile& e, const OvContextProperties& c) {
    guard("trackFile", [&](Tracker& t) { t.trackFile(e, c); });
}
void TrackerWrapper::trackOrder(const OvEventOrder& e, const OvContextProperties& c) {
    guard("trackOrder", [&](Tracker& t) { t.trackOrder(e, c); });
}
void TrackerWrapper::trackPayment(const OvEventPayment& e, const OvContextProperties& c) {
    guard("trackPayment", [&](Tracker& t) { t.trackPayment(e, c); });
}
void TrackerWrapper::trackUninstall(const std::string& r, const OvContextProperties& c) {
    guard("trackUninstall", [&](Tracker& t) { t.trackUninstall(r, c); });
}
void TrackerWrapper::trackCrash(const std::string& r) {
    guard("trackCrash", [&](Tracker& t) { t.trackCrash(r); });
}
void TrackerWrapper::trackUpdate(const OvEventUpdate& e, const OvContextProperties& c) {
    guard("trackUpdate", [&](Tracker& t) { t.trackUpdate(e, c); });
}
void TrackerWrapper::trackAppOpenNotification(const OvEventAppOpenNotification* e,
                                              const OvContextProperties& c) {
    guard("trackAppOpenNotification", [&](Tracker& t) { t.trackAppOpenNotification(e, c); });
}
void TrackerWrapper::setLocale(const std::string& locale) {
    if (impl_)
        impl_->setLocale(locale);
}
std::string TrackerWrapper::anonymousId() {
    return impl_ ? impl_->anonymousId() : std::string();
}

// [SECTION] TrackerImpl: initialisation, common procedure, locale, shutdown

namespace {

constexpr char kAppPlatform[] = "Windows";  // the platform the product is published for
constexpr char kTrackType[] = "Client";
constexpr char kSdkVersion[] = "3.3.8";
constexpr char kSdkName[] = "WindowsCPP";

void AddLocale(PropertiesNode& node, const LocaleFacts& locale) {
    node.setString("ov_l10n_locale", locale.locale);
    node.setString("ov_l10n_language", locale.language);
    node.setString("ov_l10n_country", locale.country);
}

}  // namespace

TrackerImpl::TrackerImpl(const TrackerConfig& config)
    : serverUrl_(toUtf8(config.serverUrl)),
      appName_(toUtf8(config.appName)),
      appVersion_(toUtf8(config.appVersion)),
      appStore_(toUtf8(config.appStore)),
      dlAppId_(toUtf8(config.dlAppId)),
      dlAppVersion_(toUtf8(config.dlAppVersion)),
      edition_(config.edition),
      context_(std::make_unique<TrackerContext>()),
      os_(ProbeOs()) {
    context_->trackLogPath = toUtf8(config.trackLogPath);
}

void TrackerImpl::init() {
    constexpr char kFunction[] = "init";
    if (appName_.empty())
        OV_THROW(kFunction, "appName is empty");
    if (appVersion_.empty())
        OV_THROW(kFunction, "appVersion is empty");
    if (appStore_.empty())
        OV_THROW(kFunction, "appStore is empty");
    context_->pending->store(0);

    IdentityPaths paths = ResolveIdentityPaths(DefaultSetIniPath(), LocalDataFolder(), appName_);
    context_->dataFolder = paths.dataFolder;
    context_->identityFile = paths.identityFile;
    context_->stagingFile = paths.dataFolder + appName_ + kStagingFileSuffix;

    if (serverUrl_.empty())
        serverUrl_ = DefaultServerUrl();

    TrackerIdentity& identity = context_->identity;
    LoadIdentity(context_->identityFile, identity);
    ResetIdentityForServer(context_->identityFile, identity, serverUrl_);
    if (identity.userId.empty())
        identity.loggedIn = false;

    if (context_->trackLogPath.empty()) {
        context_->trackLogPath = paths.dataFolder + appName_ + kTrackLogSuffix;
    }
    logger_ = std::make_unique<NativeTrackLogger>();
    logger_->open(context_->trackLogPath);

    bool loggedIn = identity.loggedIn;
    if (Sdk::exists()) {
        // Another owner's core: this tracker must not shut it down.
        TRACE(L"analytics: the core exists already; the tracker reports through it\r\n");
    } else if (!Sdk::Init(context_->stagingFile, serverUrl_,
                          loggedIn ? identity.userId : identity.distinctId, loggedIn)) {
        OV_THROW(kFunction, "analytics_core::Sdk::Init is failed");
    } else {
        ownsCore_ = true;
    }
    Sdk::addSuperProperties(presetProperties());
    SaveUninstallInfo(context_->identityFile, appStore_, appName_, appVersion_);
}

PropertiesNode TrackerImpl::presetProperties() const {
    PropertiesNode node;
    node.setString("ov_app_id", appName_);
    node.setString("$app_id", appName_);
    node.setString("$app_version", appVersion_);
    node.setString("ov_app_store", appStore_);
    node.setString("ov_edition", ovText(static_cast<Edition>(edition_), "init"));
    if (!dlAppId_.empty())
        node.setString("ov_dlapp_id", dlAppId_);
    if (!dlAppVersion_.empty())
        node.setString("ov_dlapp_version", dlAppVersion_);
    node.setString("ov_app_platform", kAppPlatform);
    node.setString("ov_track_type", kTrackType);
    node.setString("ov_sdk_version", kSdkVersion);
    node.setString("ov_sdk", kSdkName);
    node.setString("$os", os_.name);
    node.setString("$os_version", os_.version);
    AddLocale(node, ResolveLocale(context_->locale));
    ScreenSize screen = ProbeScreenSize();
    node.setInteger("$screen_height", screen.height);
    node.setInteger("$screen_width", screen.width);
    if (!context_->identity.userId.empty())
        node.setString("ov_user_id", context_->identity.userId);
    return node;
}

void TrackerImpl::emitEvent(const char* name, EventType type, PropertiesNode& node,
                            const OvContextProperties* context, bool firstTime) {
    if (firstTime)
        node.setBoolean("$is_first_time", true);
    if (context != nullptr && type != EventType::Activity)
        context->apply(type, node);
    if (type == EventType::Activity) {
        Sdk::emitActivation(name, node);
    } else {
        Sdk::emitTrack(name, node);
    }
}

void TrackerImpl::addPending(int count) {
    context_->pending->fetch_add(count);
}

void TrackerImpl::schedule(Flush flush, bool countDeferred) {
    if (flush == Flush::kDeferred) {
        if (countDeferred)
            addPending(1);
    } else {
        // The flush job only sends while something is counted as pending; an event that
        // asks for an immediate flush counts itself, or it would wait for a later one.
        addPending(1);
    }
    analytics_core::RequestFlush(flush == Flush::kNow, context_->pending);
}

void TrackerImpl::saveIdentity() {
    if (!context_->identityFile.empty())
        SaveIdentity(context_->identityFile, context_->identity);
}

void TrackerImpl::setLocale(const std::string& locale) {
    context_->locale = toUtf8(locale);
    if (!Sdk::exists())
        return;
    PropertiesNode node;
    AddLocale(node, ResolveLocale(context_->locale));
    Sdk::addSuperProperties(node);
}

TrackerImpl::~TrackerImpl() {
    // A tracker whose initialisation stopped before the identity file was known writes
    // nothing: there is no file of its own to write to.
    saveIdentity();
    if (ownsCore_) {
        if (context_->pending->load() > 0) {
            for (int attempt = 0; attempt < analytics_core::kFlushAttempts; ++attempt) {
                if (Sdk::flushAll()) {
                    context_->pending->store(0);
                    break;
                }
            }
        }
        Sdk::shutdown();
    }
    context_.reset();
    logger_.reset();
}

}  // namespace orvan::analytics
