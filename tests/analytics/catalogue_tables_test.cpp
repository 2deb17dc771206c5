// The fixed tables of the catalogue: enumeration texts and their messages, the A/B rule,
// context properties, the Windows version naming, the user-agent text, locale names,
// distinct ids and the profile operations.
#include <gtest/gtest.h>

#include <functional>
#include <regex>

#include "analytics/context_properties.h"
#include "analytics/core/sdk.h"
#include "analytics/events.h"
#include "analytics/ov_exception.h"
#include "analytics/system_facts.h"
#include "analytics/user_tracker.h"
#include "tests/analytics/tracker_test_support.h"

namespace orvan::analytics {
namespace {

// The message of the OvException `fn` raises, or "<no exception>".
std::string Raised(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const OvException& e) {
        return e.what();
    }
    return "<no exception>";
}

template <typename E>
void ExpectTexts(const std::vector<std::pair<int, std::string>>& table, int bad,
                 const std::string& badMessage) {
    for (const auto& [value, text] : table) {
        EXPECT_EQ(ovText(static_cast<E>(value)), text) << "value " << value;
    }
    EXPECT_EQ(Raised([&] { ovText(static_cast<E>(bad)); }), badMessage);
}

TEST(CatalogueTables, EnumerationTextsAndUnknownValueMessages) {
    ExpectTexts<UserType>({{0, "unknown"},
                           {1, "mobilephone"},
                           {2, "email"},
                           {3, "weixin"},
                           {4, "qq"},
                           {5, "deviceid"},
                           {6, "baidu"},
                           {7, "huawei"},
                           {8, "apple"},
                           {9, "orvanuserid"},
                           {10, "google"},
                           {11, "facebook"}},
                          12, "Unknown user type [12]!");
    ExpectTexts<OvResult>({{0, "Success"}, {1, "Cancelled"}, {2, "Fail"}, {3, "Unknown"}}, 4,
                          "Unknown task result [4]!");
    ExpectTexts<ClickType>(
        {{0, "Button"}, {1, "Banner"}, {2, "Tutorial"}, {3, "File"}, {4, "Others"}}, 5,
        "Unknown ClickType [5]!");
    ExpectTexts<IoType>({{0, "Input"}, {1, "Output"}}, 2, "the io type is invalid");
    ExpectTexts<Currency>({{0, "CNY"},
                           {1, "USD"},
                           {2, "EUR"},
                           {3, "HKD"},
                           {4, "TWD"},
                           {5, "MOP"},
                           {6, "SGD"},
                           {7, "JPY"},
                           {8, "KRW"},
                           {9, "INR"},
                           {10, "GBP"}},
                          -1, "Unknown currency [-1]!");
    ExpectTexts<PaidPlatform>({{0, "Alipay"},
                               {1, "WeChatPay"},
                               {2, "PayPal"},
                               {3, "Tenpay"},
                               {4, "CIECC"},
                               {5, "GooglePay"},
                               {6, "HuaweiPay"},
                               {7, "AppleIAP"},
                               {8, "Paddle"},
                               {9, "ChinaUnionPay"}},
                              10, "Unknown paid platform [10]!");
    ExpectTexts<OvIapType>(
        {{1, "Consumable"}, {2, "NonConsumable"}, {3, "AutoRenewable"}, {4, "NonRenewable"}}, 0,
        "Unknown ovIapType [0]!");
    ExpectTexts<OvUpdateOp>({{0, "UpdateCheck"},
                             {1, "DownloadStart"},
                             {2, "DownloadEnd"},
                             {3, "UpgrateStart"},
                             {4, "UpgrateEnd"}},
                            5, "Unknown OvUpdateOp [5]!");
    ExpectTexts<OvUpdateResult>({{0, "Success"},
                                 {1, "Cancelled"},
                                 {2, "Timeout"},
                                 {3, "Fail"},
                                 {4, "Latest"},
                                 {5, "Updateable"}},
                                6, "Unknown OvUpdateResult [6]!");
    ExpectTexts<Edition>({{0, "china"}, {1, "overseas"}}, 2, "Unknown edition [2]!");
}

TEST(CatalogueTables, AbValues) {
    struct Case {
        const char* value;
        const char* outcome;  // "true", "false" or the message
    };
    const Case cases[] = {
        {"IN", "true"},
        {"A", "true"},
        {"B2", "true"},
        {"ZZ9", "true"},
        {"", "false"},
        {"in", "First char is not in A to Z"},
        {"1A", "First char is not in A to Z"},
        {"Ab", "second char is not in A to Z and 0 to 9"},
        {"A-", "second char is not in A to Z and 0 to 9"},
        {"AB!", "third char is not in A to Z and 0 to 9"},
        {"ABCD", "value's length is great than 3."},
    };
    for (const Case& c : cases) {
        std::string outcome;
        try {
            outcome = isValidABValue(c.value) ? "true" : "false";
        } catch (const OvException& e) {
            outcome = e.what();
            EXPECT_EQ(e.function(), "isValidABValue");
        }
        EXPECT_EQ(outcome, c.outcome) << "value \"" << c.value << "\"";
    }
}

TEST(CatalogueTables, ContextPropertiesPerEventType) {
    OvContextProperties context;
    context.setProperty({EventType::Task, EventType::Click}, "ovc_ab", "IN");
    context.setProperty(std::vector<int>{7}, "ovc_other", "x");
    ASSERT_EQ(context.getEventProperties(7).size(), 2u);
    EXPECT_EQ(context.getEventProperties(7)[0].key, "ovc_ab");
    EXPECT_EQ(*context.getEventProperties(7)[0].value, "IN");
    EXPECT_EQ(context.getEventProperties(3).size(), 1u);
    EXPECT_TRUE(context.getEventProperties(4).empty());

    EXPECT_EQ(Raised([&] { context.setProperty({EventType::View}, "ovc_ab", "B"); }),
              "Property[ovc_ab] already exist!");
    EXPECT_EQ(Raised([&] {
                  context.setProperty(std::vector<int>{4, 15}, "ovc_new", "v");
              }),
              "OvEvent[15] overflow!");
    EXPECT_EQ(context.getEventProperties(4).size(), 1u) << "types before the overflow keep it";
    EXPECT_EQ(Raised([&] { context.getEventProperties(15); }), "OvEvent[15] overflow!");

    analytics_core::PropertiesNode node;
    EXPECT_TRUE(context.apply(EventType::Click, node));
    EXPECT_EQ(node.toJson(), R"({"ovc_ab":"IN"})");
    analytics_core::PropertiesNode empty;
    EXPECT_FALSE(context.apply(EventType::Crash, empty));
}

TEST(CatalogueTables, WindowsVersionNaming) {
    struct Case {
        uint32_t major, minor, build;
        bool is64, r2;
        const char* name;
    };
    const Case cases[] = {
        {4, 10, 0, false, false, "XP-"},
        {5, 0, 2195, false, false, "2K"},
        {5, 1, 2600, false, false, "XP"},
        {5, 2, 3790, true, false, "XP64"},
        {5, 2, 3790, false, false, "Server 2003"},
        {5, 2, 3790, false, true, "Server 2003 R2"},
        {5, 3, 0, true, false, "XP+"},
        {6, 0, 6000, true, false, "Vista64"},
        {6, 0, 6000, false, false, "Vista"},
        {6, 1, 7601, true, false, "7"},
        {6, 1, 7601, false, false, "7-32"},
        {6, 2, 9200, true, false, "8"},
        {6, 2, 9200, false, false, "8-32"},
        {6, 3, 9600, false, false, "8.1"},
        {6, 4, 0, true, false, "8.1+"},
        {10, 0, 19045, true, false, "10"},
        {10, 0, 21999, false, false, "10"},
        {10, 0, 22000, true, false, "11"},
        {10, 0, 22621, true, false, "11"},
        {10, 0, 0x10000 + 19045, true, false, "10"},
        {10, 1, 0, true, false, "11+"},
        {7, 2, 1234, true, false, "7.2.1234"},
        {11, 0, 5, false, false, "11.0.5"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WindowsAnalyticsVersionName(c.major, c.minor, c.build, c.is64, c.r2), c.name)
            << c.major << "." << c.minor << "." << c.build << (c.is64 ? " 64" : " 32");
    }
}

TEST(CatalogueTables, UserAgentText) {
    EXPECT_EQ(
        UserAgentText({"Windows", WindowsAnalyticsVersionName(10, 0, 22621, true, false), true}),
        "Mozilla/5.0(Windows 11; Win64;)");
    EXPECT_EQ(
        UserAgentText({"Windows", WindowsAnalyticsVersionName(6, 1, 7601, false, false), false}),
        "Mozilla/5.0(Windows 7-32; Win32;)");
    EXPECT_EQ(UserAgentText({"Linux", "6.1.0-18-amd64", true}),
              "Mozilla/5.0(Linux 6.1.0-18-amd64; Linux64;)");
    // This machine is described truthfully.
    OsFacts os = ProbeOs();
    EXPECT_EQ(os.name, "Linux");
    EXPECT_FALSE(os.version.empty());
}

TEST(CatalogueTables, LocaleNames) {
    struct Case {
        const char* name;
        const char* locale;
        const char* language;
        const char* country;
    };
    const Case cases[] = {
        {"zh_CN.UTF-8", "zh_CN", "zh", "CN"},
        {"en_US", "en_US", "en", "US"},
        {"de_DE@euro", "de_DE", "de", "DE"},
        {"C", "", "", ""},
        {"POSIX", "", "", ""},
        {"C.UTF-8", "", "", ""},
        {"", "", "", ""},
        {"_US", "", "", ""},
    };
    for (const Case& c : cases) {
        LocaleFacts f = ParsePosixLocale(c.name);
        EXPECT_EQ(f.locale, c.locale) << c.name;
        EXPECT_EQ(f.language, c.language) << c.name;
        EXPECT_EQ(f.country, c.country) << c.name;
    }
    LocaleFacts overridden = ResolveLocale("pt_BR");
    EXPECT_EQ(overridden.locale, "pt_BR");
    EXPECT_EQ(overridden.language, "pt");
    EXPECT_EQ(overridden.country, "BR");
    analytics_test::ScopedEnv all("LC_ALL", "fr_CA.UTF-8");
    EXPECT_EQ(ResolveLocale("").locale, "fr_CA");
    EXPECT_EQ(ResolveLocale("nounderscore").locale, "fr_CA");
}

TEST(CatalogueTables, DistinctIds) {
    const uint8_t bytes[16] = {0x78, 0x56, 0x34, 0x12, 0xBC, 0x9A, 0xF0, 0xDE,
                               0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
    int calls = 0;
    auto failTwice = [&](uint8_t out[16]) {
        if (++calls <= 2)
            return false;
        std::copy(bytes, bytes + 16, out);
        return true;
    };
    EXPECT_EQ(NewDistinctId(failTwice), "12345678-9ABC-DEF0-0123-456789ABCDEF");
    EXPECT_EQ(calls, 3);

    int failures = 0;
    std::string fallback = NewDistinctId([&](uint8_t*) {
        ++failures;
        return false;
    });
    EXPECT_EQ(failures, 11);
    EXPECT_TRUE(std::regex_match(
        fallback, std::regex("[0-9a-f]+-[0-9a-f]+-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]+")))
        << fallback;

    std::string a = NewDistinctId(), b = NewDistinctId();
    static const std::regex guid(
        "[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
    EXPECT_TRUE(std::regex_match(a, guid)) << a;
    EXPECT_NE(a, b);
}

// Profile records through the core; the queue is read directly.
class ProfileOps : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(analytics_core::Sdk::Init("", tracker_test::kDeadUrl, "a1", false));
    }
    void TearDown() override { analytics_core::Sdk::shutdown(); }
};

TEST_F(ProfileOps, OperationsAndMessages) {
    using R = std::vector<std::string>;
    struct Case {
        std::function<void()> call;
        std::string outcome;  // record type + property, or the message
    };
    const Case cases[] = {
        {[] { NativeUserTracker::setString("$ios_install_source", "x"); },
         "profile_set_once {\"$ios_install_source\":\"x\"}"},
        {[] { NativeUserTracker::setString("ov_os", "Linux"); },
         "profile_set {\"ov_os\":\"Linux\"}"},
        {[] { NativeUserTracker::setString("ov_visit_count", "x"); },
         "user property [ov_visit_count] is string type value, it cannot be accumulated!"},
        {[] { NativeUserTracker::setString("nickname", "x"); },
         "Not supported user property [nickname]!"},
        {[] { NativeUserTracker::setNumber("ov_paid_count", int32_t{2}); },
         "profile_increment {\"ov_paid_count\":2}"},
        {[] { NativeUserTracker::setNumber("ov_user_vip_level", int32_t{3}); },
         "profile_set {\"ov_user_vip_level\":3}"},
        {[] { NativeUserTracker::setNumber("ov_first_paid_date", int32_t{7}); },
         "profile_set_once {\"ov_first_paid_date\":7}"},
        {[] { NativeUserTracker::setNumber("ov_consumption", 12.5); },
         "profile_increment {\"ov_consumption\":12.5}"},
        {[] { NativeUserTracker::setNumber("nothing", int32_t{1}); },
         "Not supported user property [nothing]!"},
        {[] { NativeUserTracker::setDateTime("ov_last_visit_date", 157789440000LL); },
         "profile_set {\"ov_last_visit_date\":"},
        {[] { NativeUserTracker::setDateTime("ov_first_visit_date", 1000000000LL); },
         "profile_set_once {\"ov_first_visit_date\":"},
        {[] { NativeUserTracker::setDateTime("ov_paid_count", 1); },
         "user property [ov_paid_count] is boolean value, it cannot be accumulative!"},
    };
    for (const Case& c : cases) {
        size_t before = analytics_core::Sdk::queuedRecords().size();
        std::string outcome;
        try {
            c.call();
            R all = analytics_core::Sdk::queuedRecords();
            if (all.size() == before + 1) {
                outcome =
                    tracker_test::TypeOf(all.back()) + " " + tracker_test::PropertiesOf(all.back());
            } else {
                outcome = "<" + std::to_string(all.size() - before) + " records>";
            }
        } catch (const OvException& e) {
            outcome = e.what();
            EXPECT_EQ(analytics_core::Sdk::queuedRecords().size(), before);
        }
        EXPECT_EQ(outcome.substr(0, c.outcome.size()), c.outcome);
    }
    // Milliseconds from the threshold on; whole seconds below it.
    R all = analytics_core::Sdk::queuedRecords();
    ASSERT_GE(all.size(), 3u);
    EXPECT_NE(all[all.size() - 2].find("\"ov_last_visit_date\":\"197"), std::string::npos)
        << all[all.size() - 2];
    EXPECT_NE(all.back().find("\"ov_first_visit_date\":\"2001-09-0"), std::string::npos)
        << all.back();
    EXPECT_EQ(NativeUserTracker::opOf("ov_city"), ProfileOp::Set);
    EXPECT_EQ(NativeUserTracker::opOf("ov_visit_count"), ProfileOp::Increment);
    EXPECT_EQ(NativeUserTracker::opOf("$first_visit_time"), ProfileOp::SetOnce);
}

}  // namespace
}  // namespace orvan::analytics
