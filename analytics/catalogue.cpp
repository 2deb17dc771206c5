// The event catalogue: the fifteen tracking operations of TrackerImpl. Each follows the
// common procedure: checks (raising OvException named after the operation), the event's own
// properties, "$is_first_time", context properties, emit, profile records, flush request.
#include <chrono>
#include <cstdio>

#include "analytics/core/sdk.h"
#include "analytics/tracker_impl.h"
#include "analytics/user_tracker.h"

namespace orvan::analytics {
namespace {

using analytics_core::PropertiesNode;
using analytics_core::Sdk;

constexpr char kInstallSource[] = "srnnqmv_nt=719##qbvt=0872##sex=504";

int64_t NowMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// Free text (t): converted to UTF-8, set always.
void SetText(PropertiesNode& node, const char* key, const std::string& value) {
    node.setString(key, toUtf8(value));
}
// Free text set only when not empty.
void SetTextIf(PropertiesNode& node, const char* key, const std::string& value) {
    if (!value.empty())
        node.setString(key, toUtf8(value));
}
// Plain strings set only when not empty.
void SetStringIf(PropertiesNode& node, const char* key, const std::string& value) {
    if (!value.empty())
        node.setString(key, value);
}
void SetIntIf(PropertiesNode& node, const char* key, const std::optional<int32_t>& value) {
    if (value)
        node.setInteger(key, *value);
}
void SetNumberIf(PropertiesNode& node, const char* key, const std::optional<float>& value) {
    if (value)
        node.setNumber(key, static_cast<double>(*value));
}
void SetPositive(PropertiesNode& node, const char* key, float value) {
    if (value > 0)
        node.setNumber(key, static_cast<double>(value));
}
// Results are sent for Success, Cancelled and Fail; Unknown sends nothing; a value outside
// the table raises.
void SetResultIf(PropertiesNode& node, const char* key, const std::optional<OvResult>& result,
                 const char* function) {
    if (!result)
        return;
    std::string text = ovText(*result, function);
    if (*result != OvResult::Unknown)
        node.setString(key, text);
}

std::string AmountText(float amount) {
    char text[64];
    std::snprintf(text, sizeof(text), "%f", static_cast<double>(amount));
    return text;
}

void VisitDates() {
    int64_t now = NowMilliseconds();
    NativeUserTracker::setDateTime("$first_visit_time", now);
    NativeUserTracker::setDateTime("ov_first_visit_date", now);
    NativeUserTracker::setDateTime("ov_last_visit_date", now);
}

}  // namespace

void TrackerImpl::trackActivity(const OvContextProperties& context) {
    PropertiesNode node;
    // Context first: the event's own properties win on a shared key.
    context.apply(EventType::Activity, node);
    SetStringIf(node, "ov_app_store", appStore_);
    SetStringIf(node, "ov_app_id", appName_);
    SetStringIf(node, "$app_id", appName_);
    SetStringIf(node, "$app_version", appVersion_);
    node.setString("$ios_install_source", kInstallSource);
    node.setString("$user_agent", UserAgentText(os_));
    node.setString("$os", os_.name);
    node.setString("$os_version", os_.version);
    emitEvent("OvEventActivity", EventType::Activity, node, &context, true);

    VisitDates();
    NativeUserTracker::setString("ov_os", os_.name);
    NativeUserTracker::setString("ov_os_version", os_.version);
    NativeUserTracker::setString("ov_app_store", appStore_);
    NativeUserTracker::setString("ov_app_platform", "Windows");
    NativeUserTracker::setString("ov_last_app_id", appName_);
    NativeUserTracker::setString("ov_last_app_version", appVersion_);
    NativeUserTracker::setString("$ios_install_source", kInstallSource);
    addPending(9);
    schedule(Flush::kNow, false);
}

void TrackerImpl::trackLaunch(const OvContextProperties& context) {
    PropertiesNode node;
    emitEvent("OvEventLaunch", EventType::Launch, node, &context, false);
    if (!context_->identity.userId.empty()) {
        VisitDates();
        addPending(4);
    }
    schedule(Flush::kNow, false);
}

void TrackerImpl::trackLogin(const OvUserInfo& user, bool success, const std::string& reason,
                             const OvContextProperties& context) {
    PropertiesNode node;
    std::string type = ovText(user.userType, "trackLogin");
    SetStringIf(node, "ov_user_id", user.userId);
    SetStringIf(node, "ov_login_id", user.userId);
    node.setString("ov_type", type);
    node.setString("ov_result", success ? "Success" : "Fail");
    SetTextIf(node, "ov_reason", reason);
    emitEvent("OvEventLogin", EventType::Login, node, &context, !user.userId.empty());

    if (!user.userId.empty()) {
        TrackerIdentity& identity = context_->identity;
        identity.vipLevel = user.vipLevel;
        if (!identity.loggedIn || identity.userId.empty()) {
            Sdk::emitSignup(user.userId);
            identity.loggedIn = true;
            identity.userId = user.userId;
            identity.distinctId = user.userId;
            Sdk::setIdentity(user.userId, true);
            PropertiesNode super;
            super.setString("ov_user_id", user.userId);
            Sdk::addSuperProperties(super);
        }
        saveIdentity();
    }
    schedule(Flush::kNow, false);
}

void TrackerImpl::trackClick(const OvEventClick& e, const OvContextProperties& context) {
    constexpr char kFunction[] = "trackClick";
    if (e.name.empty())
        OV_THROW(kFunction, "ovEventClick.name is empty");
    std::string clickType = ovText(e.clickType, kFunction);
    PropertiesNode node;
    SetText(node, "ov_name", e.name);
    node.setString("ov_click_type", clickType);
    SetTextIf(node, "ov_aname", e.aname);
    SetTextIf(node, "ov_title", e.title);
    SetTextIf(node, "ov_position", e.position);
    SetTextIf(node, "ov_module", e.module);
    SetTextIf(node, "ov_tab_name", e.tabName);
    SetTextIf(node, "ov_banner_name", e.bannerName);
    SetIntIf(node, "ov_tab_index", e.tabIndex);
    SetIntIf(node, "ov_banner_index", e.bannerIndex);
    emitEvent("OvEventClick", EventType::Click, node, &context, true);
    schedule(Flush::kDeferred, true);
}

void TrackerImpl::trackView(const OvEventView& e, const OvContextProperties& context) {
    if (e.name.empty())
        OV_THROW("trackView", "ovEventView.name is empty");
    PropertiesNode node;
    SetText(node, "ov_name", e.name);
    SetTextIf(node, "ov_aname", e.aname);
    SetTextIf(node, "ov_title", e.title);
    SetTextIf(node, "ov_position", e.position);
    emitEvent("OvEventView", EventType::View, node, &context, true);
    schedule(Flush::kDeferred, true);
}

void TrackerImpl::trackCashier(const OvEventCashier& e, const OvContextProperties& context) {
    if (e.cashierName.empty()) {
        OV_THROW("trackCashier", "ovEventCashier.ov_cashier_name is empty");
    }
    PropertiesNode node;
    SetText(node, "ov_cashier_name", e.cashierName);
    SetTextIf(node, "ov_cashier_title", e.cashierTitle);
    SetTextIf(node, "ov_subitem", e.subItem);
    emitEvent("OvEventCashier", EventType::Cashier, node, &context, true);
    schedule(Flush::kDeferred, true);
}

void TrackerImpl::trackShare(const OvEventShare& e, const OvContextProperties& context) {
    PropertiesNode node;
    if (e.result)
        node.setString("ov_result", ovText(*e.result, "trackShare"));
    SetTextIf(node, "ov_aname", e.aname);
    SetTextIf(node, "ov_channel", e.channel);
    SetTextIf(node, "ov_position", e.position);
    SetTextIf(node, "ov_shared_name", e.sharedName);
    emitEvent("OvEventShare", EventType::Share, node, &context, true);
    schedule(Flush::kDeferred, true);
}

void TrackerImpl::trackTask(const OvEventTask& e, const OvContextProperties& context) {
    constexpr char kFunction[] = "trackTask";
    if (e.name.empty())
        OV_THROW(kFunction, "ovEventTask.name is empty");
    PropertiesNode node;
    SetResultIf(node, "ov_task_result", e.result, kFunction);
    SetText(node, "ov_task_name", e.name);
    SetNumberIf(node, "ov_task_elapsed", e.elapsed);
    SetTextIf(node, "ov_aname", e.aname);
    SetTextIf(node, "ov_reason", e.reason);
    emitEvent("OvEventTask", EventType::Task, node, &context, true);
    schedule(Flush::kDeferred, false);
}

void TrackerImpl::trackFile(const OvEventFile& e, const OvContextProperties& context) {
    constexpr char kFunction[] = "trackFile";
    if (e.aname.empty())
        OV_THROW(kFunction, "ovEventFile.aname is empty");
    PropertiesNode node;
    if (e.io)
        node.setString("ov_io", ovText(*e.io, kFunction));
    SetResultIf(node, "ov_result", e.result, kFunction);
    SetText(node, "ov_aname", e.aname);
    SetTextIf(node, "ov_name", e.name);
    SetTextIf(node, "ov_ext", e.ext);
    if (e.size && *e.size > 0)
        node.setNumber("ov_size", static_cast<double>(*e.size));
    SetIntIf(node, "ov_duration", e.duration);
    SetNumberIf(node, "ov_fps", e.fps);
    SetNumberIf(node, "ov_bps", e.bps);
    SetIntIf(node, "ov_width", e.width);
    SetIntIf(node, "ov_height", e.height);
    SetIntIf(node, "ov_depth", e.depth);
    emitEvent("OvEventFile", EventType::File, node, &context, true);
    schedule(Flush::kDeferred, true);
}

void TrackerImpl::trackOrder(const OvEventOrder& e, const OvContextProperties& context) {
    constexpr char kFunction[] = "trackOrder";
    if (e.suitId.empty())
        OV_THROW(kFunction, "ovEventOrder.ovSuitId is empty");
    if (!e.currency)
        OV_THROW(kFunction, "ovEventOrder.ovCurrency is nullptr");
    if (!(e.originalAmount > 0)) {
        OV_THROW(kFunction, "ovEventOrder.originalAmount is less than zero");
    }
    if (!(e.paidAmount > 0)) {
        OV_THROW(kFunction,
                 "ovEventOrder.paidAmount = " + AmountText(e.paidAmount) + " is not above zero");
    }
    std::string currency = ovText(*e.currency, kFunction);
    PropertiesNode node;
    SetText(node, "ov_suit_id", e.suitId);
    node.setString("ov_currency", currency);
    node.setNumber("ov_paid_amount", static_cast<double>(e.paidAmount));
    node.setNumber("ov_original_amount", static_cast<double>(e.originalAmount));
    SetTextIf(node, "ov_order_id", e.orderId);
    SetTextIf(node, "ov_subitem", e.subItem);
    SetTextIf(node, "ov_sku", e.sku);
    SetIntIf(node, "ov_campaign_code", e.campaignCode);
    SetTextIf(node, "ov_voucher_id", e.voucherId);
    SetPositive(node, "ov_cur_original_amount", e.curOriginalAmount);
    SetPositive(node, "ov_cur_paid_amount", e.curPaidAmount);
    SetTextIf(node, "ov_cashier_name", e.cashierName);
    SetTextIf(node, "ov_cashier_title", e.cashierTitle);
    emitEvent("OvEventOrder", EventType::Order, node, &context, true);
    schedule(Flush::kDeferred, true);
}

void TrackerImpl::trackPayment(const OvEventPayment& e, const OvContextProperties& context) {
    constexpr char kFunction[] = "trackPayment";
    if (e.orderId.empty())
        OV_THROW(kFunction, "ovEventPayment.ovOrderId is empty");
    if (e.paidAmount < 0)
        OV_THROW(kFunction, "paidAmount = " + AmountText(e.paidAmount) + " is invalid");
    if (e.originalAmount < 0) {
        OV_THROW(kFunction, "originalAmount = " + AmountText(e.originalAmount) + " is invalid");
    }
    if (!e.result || (*e.result != OvResult::Success && *e.result != OvResult::Fail)) {
        OV_THROW(kFunction, "ovEventPayment.result is invalid");
    }
    if (!e.paidPlatform)
        OV_THROW(kFunction, "ovEventPayment.ovPaidPlatform is nullptr");
    if (!e.currency)
        OV_THROW(kFunction, "ovEventPayment.ovCurrency is nullptr");
    std::string platform = ovText(*e.paidPlatform, kFunction);
    std::string currency = ovText(*e.currency, kFunction);
    std::string iapType = e.iapType ? ovText(*e.iapType, kFunction) : std::string();

    PropertiesNode node;
    SetText(node, "ov_order_id", e.orderId);
    node.setString("ov_paid_platform", platform);
    node.setString("ov_currency", currency);
    node.setNumber("ov_paid_amount", static_cast<double>(e.paidAmount));
    node.setNumber("ov_original_amount", static_cast<double>(e.originalAmount));
    node.setString("ov_result", ovText(*e.result, kFunction));
    SetTextIf(node, "ov_suit_id", e.suitId);
    SetTextIf(node, "ov_subitem", e.subItem);
    SetTextIf(node, "ov_sku", e.sku);
    SetTextIf(node, "ov_voucher_id", e.voucherId);
    SetTextIf(node, "ov_used_voucher_id", e.usedVoucherId);
    SetStringIf(node, "ov_iap_type", iapType);
    SetIntIf(node, "ov_campaign_code", e.campaignCode);
    SetPositive(node, "ov_cur_original_amount", e.curOriginalAmount);
    SetPositive(node, "ov_cur_paid_amount", e.curPaidAmount);
    SetTextIf(node, "ov_cashier_name", e.cashierName);
    SetTextIf(node, "ov_cashier_title", e.cashierTitle);
    emitEvent("OvEventPayment", EventType::Payment, node, &context, true);

    int64_t now = NowMilliseconds();
    NativeUserTracker::setNumber("ov_paid_count", int32_t{1});
    NativeUserTracker::setNumber("ov_consumption", static_cast<double>(e.paidAmount));
    NativeUserTracker::setDateTime("ov_first_paid_date", now);
    NativeUserTracker::setDateTime("ov_last_paid_date", now);
    addPending(4);
    if (*e.result == OvResult::Success) {
        context_->identity.vipLevel = 1;
        saveIdentity();
    }
    schedule(Flush::kNow, false);
}

void TrackerImpl::trackUninstall(const std::string& reason, const OvContextProperties& context) {
    PropertiesNode node;
    SetTextIf(node, "ov_uninstall_reason", reason);
    emitEvent("OvEventUninstall", EventType::Uninstall, node, &context, false);
    schedule(Flush::kNow, false);
}

void TrackerImpl::trackCrash(const std::string& reason) {
    PropertiesNode node;
    SetTextIf(node, "app_crashed_reason", reason);
    emitEvent("AppCrashed", EventType::Crash, node, nullptr, false);
    schedule(Flush::kNow, false);
}

void TrackerImpl::trackUpdate(const OvEventUpdate& e, const OvContextProperties& context) {
    constexpr char kFunction[] = "trackUpdate";
    std::string op = ovText(e.op, kFunction);
    PropertiesNode node;
    node.setString("ov_update_op", op);
    switch (e.op) {
        case OvUpdateOp::UpdateCheck:
            node.setString("ov_update_result",
                           e.result ? ovText(*e.result, kFunction) : std::string());
            break;
        case OvUpdateOp::DownloadEnd:
        case OvUpdateOp::UpgrateEnd:
            if (!e.result)
                OV_THROW(kFunction, "Unknown updateResultInfo info");
            if (!e.elapsed)
                OV_THROW(kFunction, "invalid elapsed info");
            node.setString("ov_update_result", ovText(*e.result, kFunction));
            node.setNumber("ov_elapsed", static_cast<double>(*e.elapsed));
            break;
        default:
            break;
    }
    emitEvent("OvEventUpdate", EventType::Update, node, &context, e.op == OvUpdateOp::UpgrateEnd);
    schedule(Flush::kNow, false);
}

void TrackerImpl::trackAppOpenNotification(const OvEventAppOpenNotification* e,
                                           const OvContextProperties& context) {
    constexpr char kFunction[] = "trackAppOpenNotification";
    if (e == nullptr)
        OV_THROW(kFunction, "&appOpenNotification is nullptr");
    if (e->planId.empty())
        OV_THROW(kFunction, "planID is emptry");
    if (e->planType.empty())
        OV_THROW(kFunction, "planType is emptry");
    if (e->msgTitle.empty())
        OV_THROW(kFunction, "msgTitle is emptry");
    PropertiesNode node;
    SetText(node, "$sf_msg_title", e->msgTitle);
    node.setString("$sf_plan_id", e->planId);
    node.setString("$sf_plan_type", e->planType);
    SetTextIf(node, "$sf_msg_content", e->msgContent);
    SetStringIf(node, "$sf_link_url", e->linkUrl);
    SetStringIf(node, "$sf_audience_id", e->audienceId);
    SetStringIf(node, "$sf_plan_strategy_id", e->planStrategyId);
    SetStringIf(node, "$sf_strategy_unit_id", e->strategyUnitId);
    emitEvent("AppOpenNotification", EventType::AppOpenNotification, node, &context, true);
    schedule(Flush::kDeferred, false);
}

}  // namespace orvan::analytics
