// The fifteen tracking operations: each event's record, its checks in order, "$is_first_time",
// the context properties, the profile records and the flush behaviour. The tracker reports
// to a loopback address where nothing listens, so the records stay queued for reading.
#include <gtest/gtest.h>

#include <functional>

#include "analytics/core/sdk.h"
#include "analytics/ov_exception.h"
#include "analytics/tracker_impl.h"
#include "tests/analytics/tracker_test_support.h"
#include "utils/text.h"

namespace orvan::analytics {
namespace {

using tracker_test::EventOf;
using tracker_test::HasKey;
using tracker_test::HasProperty;
using tracker_test::Quoted;
using tracker_test::TypeOf;

class Catalogue : public ::testing::Test {
protected:
    void SetUp() override {
        tracker_ = std::make_unique<TrackerImpl>(tracker_test::Config());
        ASSERT_NO_THROW(tracker_->init());
        ASSERT_TRUE(analytics_core::Sdk::exists());
        context_.setProperty({EventType::Click, EventType::Task, EventType::View,
                              EventType::Activity, EventType::Crash},
                             "ovc_ab", "IN");
    }
    void TearDown() override { tracker_.reset(); }

    // The records queued by `call`.
    std::vector<std::string> Emitted(const std::function<void()>& call) {
        size_t before = tracker_test::Queued().size();
        call();
        auto all = tracker_test::Queued();
        return std::vector<std::string>(
            all.begin() + static_cast<long>(std::min(before, all.size())), all.end());
    }
    std::string One(const std::function<void()>& call) {
        auto records = Emitted(call);
        EXPECT_EQ(records.size(), 1u);
        return records.empty() ? std::string() : records[0];
    }

    tracker_test::DataHome home_;
    std::unique_ptr<TrackerImpl> tracker_;
    OvContextProperties context_;
};

TEST_F(Catalogue, ChecksRaiseTheirMessagesBeforeAnythingIsEmitted) {
    OvEventOrder order;
    order.suitId = "s";
    order.currency = Currency::CNY;
    order.originalAmount = 10;
    order.paidAmount = 5;
    OvEventPayment payment;
    payment.orderId = "o";
    payment.currency = Currency::USD;
    payment.paidPlatform = PaidPlatform::PayPal;
    payment.result = OvResult::Success;
    OvEventAppOpenNotification note;
    note.msgTitle = "t";
    note.planId = "p";
    note.planType = "pt";

    struct Case {
        const char* what;
        std::function<void(Tracker&)> call;
        std::string message;
        std::string function;
    };
    auto with = [](auto base, auto change) {
        change(base);
        return base;
    };
    const Case cases[] = {
        {"click without name", [](Tracker& t) { t.trackClick({}, {}); },
         "ovEventClick.name is empty", "trackClick"},
        {"click type 5",
         [](Tracker& t) {
             OvEventClick c;
             c.name = "n";
             c.clickType = static_cast<ClickType>(5);
             t.trackClick(c, {});
         },
         "Unknown ClickType [5]!", "trackClick"},
        {"view without name", [](Tracker& t) { t.trackView({}, {}); }, "ovEventView.name is empty",
         "trackView"},
        {"cashier without name", [](Tracker& t) { t.trackCashier({}, {}); },
         "ovEventCashier.ov_cashier_name is empty", "trackCashier"},
        {"share result 9",
         [](Tracker& t) {
             OvEventShare s;
             s.result = static_cast<OvResult>(9);
             t.trackShare(s, {});
         },
         "Unknown task result [9]!", "trackShare"},
        {"task without name", [](Tracker& t) { t.trackTask({}, {}); }, "ovEventTask.name is empty",
         "trackTask"},
        {"file without aname", [](Tracker& t) { t.trackFile({}, {}); },
         "ovEventFile.aname is empty", "trackFile"},
        {"file io 2",
         [](Tracker& t) {
             OvEventFile f;
             f.aname = "a";
             f.io = static_cast<IoType>(2);
             t.trackFile(f, {});
         },
         "the io type is invalid", "trackFile"},
        {"order without suit",
         [&](Tracker& t) { t.trackOrder(with(order, [](auto& o) { o.suitId.clear(); }), {}); },
         "ovEventOrder.ovSuitId is empty", "trackOrder"},
        {"order without currency",
         [&](Tracker& t) { t.trackOrder(with(order, [](auto& o) { o.currency.reset(); }), {}); },
         "ovEventOrder.ovCurrency is nullptr", "trackOrder"},
        {"order original 0",
         [&](Tracker& t) { t.trackOrder(with(order, [](auto& o) { o.originalAmount = 0; }), {}); },
         "ovEventOrder.originalAmount is less than zero", "trackOrder"},
        {"order paid 0",
         [&](Tracker& t) { t.trackOrder(with(order, [](auto& o) { o.paidAmount = 0; }), {}); },
         "ovEventOrder.paidAmount = 0.000000 is not above zero", "trackOrder"},
        {"payment without order id",
         [&](Tracker& t) { t.trackPayment(with(payment, [](auto& p) { p.orderId.clear(); }), {}); },
         "ovEventPayment.ovOrderId is empty", "trackPayment"},
        {"payment paid -1 and original -1",
         [&](Tracker& t) {
             t.trackPayment(with(payment,
                                 [](auto& p) {
                                     p.paidAmount = -1;
                                     p.originalAmount = -1;
                                 }),
                            {});
         },
         "paidAmount = -1.000000 is invalid", "trackPayment"},
        {"payment original -2.5",
         [&](Tracker& t) {
             t.trackPayment(with(payment, [](auto& p) { p.originalAmount = -2.5f; }), {});
         },
         "originalAmount = -2.500000 is invalid", "trackPayment"},
        {"payment without result",
         [&](Tracker& t) { t.trackPayment(with(payment, [](auto& p) { p.result.reset(); }), {}); },
         "ovEventPayment.result is invalid", "trackPayment"},
        {"payment cancelled",
         [&](Tracker& t) {
             t.trackPayment(with(payment, [](auto& p) { p.result = OvResult::Cancelled; }), {});
         },
         "ovEventPayment.result is invalid", "trackPayment"},
        {"update DownloadEnd without result",
         [](Tracker& t) {
             t.trackUpdate({OvUpdateOp::DownloadEnd, {}, 1.0f}, {});
         },
         "Unknown updateResultInfo info", "trackUpdate"},
        {"update UpgrateEnd without elapsed",
         [](Tracker& t) {
             t.trackUpdate({OvUpdateOp::UpgrateEnd, OvUpdateResult::Fail, {}}, {});
         },
         "invalid elapsed info", "trackUpdate"},
        {"update op 9",
         [](Tracker& t) {
             t.trackUpdate({static_cast<OvUpdateOp>(9), {}, {}}, {});
         },
         "Unknown OvUpdateOp [9]!", "trackUpdate"},
        {"notification null", [](Tracker& t) { t.trackAppOpenNotification(nullptr, {}); },
         "&appOpenNotification is nullptr", "trackAppOpenNotification"},
        {"notification without plan id, plan type, title",
         [](Tracker& t) {
             OvEventAppOpenNotification n;
             t.trackAppOpenNotification(&n, {});
         },
         "planID is emptry", "trackAppOpenNotification"},
        {"notification without plan type",
         [&](Tracker& t) {
             auto n = with(note, [](auto& x) {
                 x.planType.clear();
                 x.msgTitle.clear();
             });
             t.trackAppOpenNotification(&n, {});
         },
         "planType is emptry", "trackAppOpenNotification"},
        {"notification without title",
         [&](Tracker& t) {
             auto n = with(note, [](auto& x) { x.msgTitle.clear(); });
             t.trackAppOpenNotification(&n, {});
         },
         "msgTitle is emptry", "trackAppOpenNotification"},
        {"login user type 12",
         [](Tracker& t) {
             OvUserInfo u;
             u.userId = "u1";
             u.userType = static_cast<UserType>(12);
             t.trackLogin(u, true, "", {});
         },
         "Unknown user type [12]!", "trackLogin"},
    };
    for (const Case& c : cases) {
        size_t before = tracker_test::Queued().size();
        std::string message = "<no exception>", function;
        try {
            c.call(*tracker_);
        } catch (const OvException& e) {
            message = e.what();
            function = e.function();
        }
        EXPECT_EQ(message, c.message) << c.what;
        EXPECT_EQ(function, c.function) << c.what;
        EXPECT_EQ(tracker_test::Queued().size(), before) << c.what << ": nothing may be emitted";
    }
}

TEST_F(Catalogue, ClickTaskViewRecords) {
    OvEventClick click;
    click.name = "自定义安装_立即安装";
    click.tabIndex = 2;
    click.title = "标题";
    std::string r = One([&] { tracker_->trackClick(click, context_); });
    EXPECT_EQ(EventOf(r), "OvEventClick");
    EXPECT_TRUE(HasProperty(r, "ov_name", Quoted("自定义安装_立即安装"))) << r;
    EXPECT_TRUE(HasProperty(r, "ov_click_type", Quoted("Others"))) << r;
    EXPECT_TRUE(HasProperty(r, "ov_tab_index", "2")) << r;
    EXPECT_TRUE(HasProperty(r, "ov_title", Quoted("标题"))) << r;
    EXPECT_TRUE(HasProperty(r, "$is_first_time", "true")) << r;
    EXPECT_TRUE(HasProperty(r, "ovc_ab", Quoted("IN"))) << r;
    EXPECT_FALSE(HasKey(r, "ov_aname")) << r;
    EXPECT_FALSE(HasKey(r, "ov_banner_index")) << r;
    // Super properties of the tracker ride along.
    EXPECT_TRUE(HasProperty(r, "ov_app_id", Quoted("Glyphora.downloader"))) << r;
    EXPECT_TRUE(HasProperty(r, "ov_sdk", Quoted("WindowsCPP"))) << r;
    EXPECT_TRUE(HasProperty(r, "$os", Quoted("Linux"))) << r;
    EXPECT_TRUE(HasProperty(r, "ov_edition", Quoted("china"))) << r;
    EXPECT_TRUE(HasKey(r, "$screen_width")) << r;

    struct TaskCase {
        std::optional<OvResult> result;
        const char* sent;  // nullptr: no "ov_task_result"
    };
    for (const TaskCase& c :
         {TaskCase{OvResult::Success, "Success"}, TaskCase{OvResult::Cancelled, "Cancelled"},
          TaskCase{OvResult::Fail, "Fail"}, TaskCase{OvResult::Unknown, nullptr},
          TaskCase{std::nullopt, nullptr}}) {
        OvEventTask task;
        task.name = "开始下载大包";
        task.result = c.result;
        task.elapsed = 2.5f;
        std::string t = One([&] { tracker_->trackTask(task, context_); });
        EXPECT_EQ(EventOf(t), "OvEventTask");
        if (c.sent) {
            EXPECT_TRUE(HasProperty(t, "ov_task_result", Quoted(c.sent))) << t;
        } else {
            EXPECT_FALSE(HasKey(t, "ov_task_result")) << t;
        }
        EXPECT_TRUE(HasProperty(t, "ov_task_elapsed", "2.5")) << t;
        EXPECT_FALSE(HasKey(t, "ov_reason")) << t;
        EXPECT_TRUE(HasProperty(t, "$is_first_time", "true")) << t;
    }

    OvEventView view;
    view.name = "安装中";
    std::string v = One([&] { tracker_->trackView(view, context_); });
    EXPECT_EQ(EventOf(v), "OvEventView");
    EXPECT_TRUE(HasProperty(v, "ov_name", Quoted("安装中"))) << v;
    EXPECT_TRUE(HasProperty(v, "ovc_ab", Quoted("IN"))) << v;
}

TEST_F(Catalogue, ContextPropertiesWinExceptForActivity) {
    OvContextProperties context;
    context.setProperty({EventType::Task, EventType::Activity}, "ov_app_store", "ctx");
    OvEventTask task;
    task.name = "n";
    std::string t = One([&] { tracker_->trackTask(task, context); });
    EXPECT_TRUE(HasProperty(t, "ov_app_store", Quoted("ctx"))) << t;

    auto records = Emitted([&] { tracker_->trackActivity(context); });
    ASSERT_FALSE(records.empty());
    std::string a = records[0];
    EXPECT_EQ(EventOf(a), "OvEventActivity");
    EXPECT_TRUE(HasProperty(a, "ov_app_store", Quoted("glyphora-installer"))) << a;
    EXPECT_TRUE(
        HasProperty(a, "$ios_install_source", Quoted("srnnqmv_nt=719##qbvt=0872##sex=504")));
    EXPECT_TRUE(HasProperty(a, "$user_agent", Quoted(UserAgentText(ProbeOs())))) << a;
    EXPECT_TRUE(HasProperty(a, "$is_first_time", "true")) << a;
    // The profile records that follow an activation.
    std::vector<std::string> profile;
    for (size_t i = 1; i < records.size(); ++i)
        profile.push_back(TypeOf(records[i]));
    EXPECT_EQ(profile,
              (std::vector<std::string>{"profile_set_once", "profile_set_once", "profile_set",
                                        "profile_set", "profile_set", "profile_set", "profile_set",
                                        "profile_set", "profile_set", "profile_set_once"}));
    EXPECT_NE(records[7].find("\"ov_app_platform\":\"Windows\""), std::string::npos);
}

TEST_F(Catalogue, OtherEventRecords) {
    struct Case {
        const char* what;
        std::function<void(Tracker&)> call;
        const char* event;
        std::vector<std::pair<std::string, std::string>> present;
        std::vector<std::string> absent;
    };
    const Case cases[] = {
        {"launch", [](Tracker& t) { t.trackLaunch({}); }, "OvEventLaunch", {}, {"$is_first_time"}},
        {"uninstall",
         [](Tracker& t) { t.trackUninstall("慢", {}); },
         "OvEventUninstall",
         {{"ov_uninstall_reason", Quoted("慢")}},
         {"$is_first_time"}},
        {"crash",
         [](Tracker& t) { t.trackCrash("崩溃"); },
         "AppCrashed",
         {{"app_crashed_reason", Quoted("崩溃")}},
         {"$is_first_time", "ovc_ab"}},
        {"update check",
         [](Tracker& t) {
             t.trackUpdate({OvUpdateOp::UpdateCheck, {}, {}}, {});
         },
         "OvEventUpdate",
         {{"ov_update_op", Quoted("UpdateCheck")}, {"ov_update_result", "\"\""}},
         {"$is_first_time"}},
        {"update download start",
         [](Tracker& t) {
             t.trackUpdate({OvUpdateOp::DownloadStart, OvUpdateResult::Fail, 1}, {});
         },
         "OvEventUpdate",
         {{"ov_update_op", Quoted("DownloadStart")}},
         {"ov_update_result", "ov_elapsed", "$is_first_time"}},
        {"update upgrade end",
         [](Tracker& t) {
             t.trackUpdate({OvUpdateOp::UpgrateEnd, OvUpdateResult::Latest, 1.5f}, {});
         },
         "OvEventUpdate",
         {{"ov_update_result", Quoted("Latest")},
          {"ov_elapsed", "1.5"},
          {"$is_first_time", "true"}},
         {}},
        {"cashier",
         [](Tracker& t) {
             t.trackCashier({"vip", "", "monthly"}, {});
         },
         "OvEventCashier",
         {{"ov_cashier_name", Quoted("vip")}, {"ov_subitem", Quoted("monthly")}},
         {"ov_cashier_title"}},
        {"share",
         [](Tracker& t) {
             t.trackShare({"", "wx", "", "doc", OvResult::Cancelled}, {});
         },
         "OvEventShare",
         {{"ov_channel", Quoted("wx")},
          {"ov_shared_name", Quoted("doc")},
          {"ov_result", Quoted("Cancelled")}},
         {"ov_aname"}},
        {"file",
         [](Tracker& t) {
             OvEventFile f;
             f.aname = "ocr";
             f.io = IoType::Output;
             f.size = 0;
             f.width = 640;
             f.result = OvResult::Unknown;
             t.trackFile(f, {});
         },
         "OvEventFile",
         {{"ov_io", Quoted("Output")}, {"ov_width", "640"}},
         {"ov_size", "ov_result", "ov_height"}},
        {"order",
         [](Tracker& t) {
             OvEventOrder o;
             o.suitId = "s1";
             o.currency = Currency::EUR;
             o.originalAmount = 20;
             o.paidAmount = 12.5f;
             o.campaignCode = 7;
             t.trackOrder(o, {});
         },
         "OvEventOrder",
         {{"ov_suit_id", Quoted("s1")},
          {"ov_currency", Quoted("EUR")},
          {"ov_paid_amount", "12.5"},
          {"ov_original_amount", "20"},
          {"ov_campaign_code", "7"}},
         {"ov_cur_paid_amount", "ov_order_id"}},
        {"notification",
         [](Tracker& t) {
             OvEventAppOpenNotification n;
             n.msgTitle = "标题";
             n.planId = "p1";
             n.planType = "t1";
             n.linkUrl = "https://x";
             t.trackAppOpenNotification(&n, {});
         },
         "AppOpenNotification",
         {{"$sf_msg_title", Quoted("标题")},
          {"$sf_plan_id", Quoted("p1")},
          {"$sf_link_url", Quoted("https://x")},
          {"$is_first_time", "true"}},
         {"$sf_msg_content"}},
    };
    for (const Case& c : cases) {
        auto records = Emitted([&] { c.call(*tracker_); });
        ASSERT_FALSE(records.empty()) << c.what;
        const std::string& r = records[0];
        EXPECT_EQ(EventOf(r), c.event) << c.what;
        for (const auto& [key, value] : c.present) {
            EXPECT_TRUE(HasProperty(r, key, value)) << c.what << ": " << key << " in " << r;
        }
        for (const auto& key : c.absent) {
            EXPECT_FALSE(HasKey(r, key)) << c.what << ": " << key << " in " << r;
        }
    }
}

TEST_F(Catalogue, PaymentProfilesAndVipLevel) {
    OvEventPayment p;
    p.orderId = "o1";
    p.currency = Currency::CNY;
    p.paidPlatform = PaidPlatform::Alipay;
    p.paidAmount = 30;
    p.originalAmount = 0;  // accepted: only amounts below 0 are refused
    p.result = OvResult::Success;
    p.iapType = OvIapType::AutoRenewable;
    auto records = Emitted([&] { tracker_->trackPayment(p, context_); });
    ASSERT_EQ(records.size(), 5u);
    EXPECT_EQ(EventOf(records[0]), "OvEventPayment");
    EXPECT_TRUE(HasProperty(records[0], "ov_paid_platform", Quoted("Alipay")));
    EXPECT_TRUE(HasProperty(records[0], "ov_iap_type", Quoted("AutoRenewable")));
    EXPECT_TRUE(HasProperty(records[0], "ov_result", Quoted("Success")));
    EXPECT_EQ(TypeOf(records[1]), "profile_increment");
    EXPECT_TRUE(HasProperty(records[1], "ov_paid_count", "1"));
    EXPECT_TRUE(HasProperty(records[2], "ov_consumption", "30"));
    EXPECT_EQ(TypeOf(records[3]), "profile_set_once");
    EXPECT_EQ(TypeOf(records[4]), "profile_set");
    EXPECT_EQ(tracker_->context().identity.vipLevel, 1);
    EXPECT_EQ(
        analytics_test::ReadFile(home_.identityFile()).find("UserVipLevel=1") != std::string::npos,
        true);
}

TEST_F(Catalogue, AnsiTextArrivesAsUtf8) {
    // "安装中" in GBK; a UTF-8 text passes unchanged.
    const std::string gbk = "\xB0\xB2\xD7\xB0\xD6\xD0";
    EXPECT_EQ(toUtf8(gbk, Utils::kCodePageGbk), "安装中");
    EXPECT_EQ(toUtf8("安装中", Utils::kCodePageGbk), "安装中");
    EXPECT_EQ(toUtf8("", Utils::kCodePageGbk), "");
}

}  // namespace
}  // namespace orvan::analytics
