#include "analytics/core/sdk.h"

#include <gtest/gtest.h>

#include <chrono>
#include <regex>

#include "analytics/core/validation.h"
#include "tests/analytics/test_support.h"
#include "tools/collector/json_check.h"

namespace analytics_core {
namespace {

using analytics_test::DiagnosticCapture;

// The core with a collector address that is never contacted: tests read the queue.
class CoreSdk : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Sdk::Init("", "https://127.0.0.1:9/sa?project=pc", "a1", false));
    }
    void TearDown() override { Sdk::shutdown(); }

    // The records queued by `emit`, each with its _track_id replaced by 0.
    template <typename Fn>
    std::vector<std::string> Emitted(Fn emit) {
        size_t before = Sdk::queuedRecords().size();
        emit();
        auto all = Sdk::queuedRecords();
        std::vector<std::string> out;
        static const std::regex trackId(R"(^\{"_track_id":\d+,)");
        for (size_t i = before; i < all.size(); ++i) {
            EXPECT_TRUE(collector::ParseJson(all[i])) << all[i];
            out.push_back(std::regex_replace(all[i], trackId, "{\"_track_id\":0,"));
        }
        return out;
    }
    std::string EmittedOne(const std::function<void()>& emit) {
        auto r = Emitted(emit);
        EXPECT_EQ(r.size(), 1u);
        return r.empty() ? std::string() : r[0];
    }
};

constexpr char kLib[] = R"("lib":{"$lib":"cpp","$lib_method":"code","$lib_version":"0.9"})";

TEST_F(CoreSdk, TrackRecordIsByteExact) {
    PropertiesNode p;
    p.setDateTime("$time", 1700000000, 123);
    p.setString("$project", "proj");
    p.setString("name", "x");
    p.setNumber("n", 3.14159265);
    p.setInteger("i", int32_t{1234567});
    p.setStringList("list", {"a", "b"});
    p.setBoolean("flag", false);
    std::string expected = std::string(R"({"_track_id":0,"distinct_id":"a1","event":"ev",)") +
                           kLib +
                           R"(,"project":"proj","properties":{"$lib":"cpp","$lib_version":"0.9",)"
                           R"("flag":false,"i":1234567,"list":["a","b"],"n":3.14159,"name":"x"},)"
                           R"("time":1700000000123,"type":"track"})";
    EXPECT_EQ(EmittedOne([&] { Sdk::emitTrack("ev", p); }), expected);
}

TEST_F(CoreSdk, RejectedRecords) {
    struct Case {
        const char* name;
        std::function<void(PropertiesNode&)> fill;
        std::string event;
        std::string message;
    } cases[] = {
        {"key of 101 bytes", [](PropertiesNode& p) { p.setInteger(std::string(101, 'k'), 1); },
         "ev", "The Property Key is empty or too long, max length is 100"},
        {"empty key", [](PropertiesNode& p) { p.setInteger("", 1); }, "ev",
         "The Property Key is empty or too long, max length is 100"},
        {"key with leading digit", [](PropertiesNode& p) { p.setInteger("9a", 1); }, "ev",
         "The Property Key need to be a valid variable name."},
        {"key with dash", [](PropertiesNode& p) { p.setInteger("a-b", 1); }, "ev",
         "The Property Key need to be a valid variable name."},
        {"$time as string", [](PropertiesNode& p) { p.setString("$time", "now"); }, "ev",
         "The property '$time' should be DateTime type."},
        {"$project as integer", [](PropertiesNode& p) { p.setInteger("$project", 1); }, "ev",
         "The property '$project' should be String type."},
        {"event name with dash", [](PropertiesNode&) {}, "my-event",
         "The Event Name need to be a valid variable name."},
        {"empty event name", [](PropertiesNode&) {}, "",
         "The Event Name is empty or too long, max length is 100"},
    };
    for (const auto& c : cases) {
        PropertiesNode p;
        p.setInteger("good", 1);
        c.fill(p);
        DiagnosticCapture capture;
        EXPECT_TRUE(Emitted([&] { Sdk::emitTrack(c.event, p); }).empty()) << c.name;
        EXPECT_TRUE(capture.contains(c.message)) << c.name;
    }
    // A key of exactly 100 bytes is fine.
    PropertiesNode p;
    p.setInteger(std::string(100, 'k'), 1);
    EXPECT_EQ(Emitted([&] { Sdk::emitTrack("ev", p); }).size(), 1u);
}

TEST_F(CoreSdk, BadStringValuesAreDroppedRecordStillSent) {
    DiagnosticCapture capture;
    PropertiesNode p;
    p.setString("max", std::string(8192, 'm'));
    p.setString("over", std::string(8193, 'o'));
    for (const char* bad : {"\x01", "\x80", "\xC0\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80"})
        p.setString("bad", bad);
    p.setString("ws", "a\tb\nc\rd");
    std::string r = EmittedOne([&] { Sdk::emitTrack("ev", p); });
    EXPECT_NE(r.find("\"max\":\"" + std::string(8192, 'm') + "\""), std::string::npos);
    EXPECT_EQ(r.find("\"over\""), std::string::npos);
    EXPECT_EQ(r.find("\"bad\""), std::string::npos);
    EXPECT_NE(r.find(R"("ws":"a\tb\nc\rd")"), std::string::npos) << r;
    EXPECT_TRUE(capture.contains("String property 'over' is too long"));
    EXPECT_EQ(capture.lines().size(), 6u);
}

TEST_F(CoreSdk, TimeAndProject) {
    PropertiesNode withTime;
    withTime.setDateTime("$time", 1600000000, 7);
    std::string r = EmittedOne([&] { Sdk::emitTrack("ev", withTime); });
    EXPECT_NE(r.find(R"("time":1600000000007,)"), std::string::npos) << r;
    EXPECT_EQ(r.find("$time"), std::string::npos);

    // Without "$time" the record carries the current time.
    using namespace std::chrono;
    int64_t before = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    r = EmittedOne([&] { Sdk::emitTrack("ev", PropertiesNode()); });
    int64_t after = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    std::smatch m;
    ASSERT_TRUE(std::regex_search(r, m, std::regex(R"("time":(\d+),)")));
    int64_t t = std::stoll(m[1]);
    EXPECT_GE(t, before);
    EXPECT_LE(t, after);

    PropertiesNode emptyProject;
    emptyProject.setString("$project", "");
    r = EmittedOne([&] { Sdk::emitTrack("ev", emptyProject); });
    EXPECT_EQ(r.find("project"), std::string::npos) << r;
}

TEST_F(CoreSdk, ProfileRecords) {
    struct Case {
        const char* name;
        std::function<void()> emit;
        std::string properties;
        std::string type;
    } cases[] = {
        {"set string", [] { Sdk::emitProfileSet("k", std::string("v")); }, R"({"k":"v"})",
         "profile_set"},
        {"set integer", [] { Sdk::emitProfileSet("k", int32_t{5}); }, R"({"k":5})", "profile_set"},
        {"set number", [] { Sdk::emitProfileSet("k", 5.0); }, R"({"k":5})", "profile_set"},
        {"set once number", [] { Sdk::emitProfileSetOnce("k", 0.5); }, R"({"k":0.5})",
         "profile_set_once"},
        {"increment", [] { Sdk::emitProfileIncrement("k", int32_t{-2}); }, R"({"k":-2})",
         "profile_increment"},
        {"append", [] { Sdk::emitProfileAppend("k", "v"); }, R"({"k":["v"]})", "profile_append"},
        {"set map",
         [] {
             PropertiesNode p;
             p.setBoolean("b", true);
             p.setInteger("a", int32_t{1});
             Sdk::emitProfileSet(p);
         },
         R"({"a":1,"b":true})", "profile_set"},
    };
    for (const auto& c : cases) {
        std::string expected = std::string(R"({"_track_id":0,"distinct_id":"a1",)") + kLib +
                               ",\"properties\":" + c.properties + ",\"time\":";
        std::string r = EmittedOne(c.emit);
        EXPECT_EQ(r.substr(0, expected.size()), expected) << c.name;
        EXPECT_NE(r.find(",\"type\":\"" + c.type + "\"}"), std::string::npos) << c.name << r;
        EXPECT_EQ(r.find("\"event\""), std::string::npos) << c.name;
    }
}

TEST_F(CoreSdk, ActivationStartsWithInstallSource) {
    std::string r = EmittedOne([] { Sdk::emitActivation("act", PropertiesNode()); });
    EXPECT_NE(r.find(R"("properties":{"$ios_install_source":"","$lib")"), std::string::npos) << r;
    PropertiesNode given;
    given.setString("$ios_install_source", "mine");
    r = EmittedOne([&] { Sdk::emitActivation("act", given); });
    EXPECT_NE(r.find(R"("$ios_install_source":"mine")"), std::string::npos) << r;
}

TEST_F(CoreSdk, SignupThenLoginFlag) {
    std::string signup = EmittedOne([] { Sdk::emitSignup("u1"); });
    EXPECT_EQ(signup,
              std::string(R"({"_track_id":0,"distinct_id":"u1","event":"$SignUp",)") + kLib +
                  R"(,"original_id":"a1","properties":{"$lib":"cpp","$lib_version":"0.9"},)" +
                  signup.substr(signup.find("\"time\"")));
    EXPECT_NE(signup.find(R"("type":"track_signup"})"), std::string::npos);
    EXPECT_EQ(Sdk::distinctId(), "u1");
    EXPECT_TRUE(Sdk::isLoginId());

    std::string later = EmittedOne([] { Sdk::emitTrack("ev", PropertiesNode()); });
    EXPECT_NE(later.find(R"("distinct_id":"u1")"), std::string::npos);
    EXPECT_NE(later.find(R"("properties":{"$is_login_id":true,"$lib")"), std::string::npos)
        << later;
    std::string profile = EmittedOne([] { Sdk::emitProfileSet("k", int32_t{1}); });
    EXPECT_NE(profile.find(R"("properties":{"$is_login_id":true,"k":1})"), std::string::npos);
}

TEST_F(CoreSdk, SuperProperties) {
    PropertiesNode extra;
    extra.setString("ov_user_id", "u9");
    extra.setString("$lib", "overridden");
    Sdk::addSuperProperties(extra);
    PropertiesNode given;
    given.setString("ov_user_id", "given wins");
    std::string r = EmittedOne([&] { Sdk::emitTrack("ev", given); });
    EXPECT_NE(
        r.find(
            R"("properties":{"$lib":"overridden","$lib_version":"0.9","ov_user_id":"given wins"})"),
        std::string::npos)
        << r;
    Sdk::resetSuperProperties();
    EXPECT_EQ(Sdk::superProperties().toJson(), R"({"$lib":"cpp","$lib_version":"0.9"})");
}

TEST_F(CoreSdk, RecordThatCannotRenderIsDroppedAlone) {
    DiagnosticCapture capture;
    Sdk::emitTrack("first", PropertiesNode());
    PropertiesNode p;
    p.setDateTime("when", std::numeric_limits<int64_t>::max() / 2, 0);
    Sdk::emitTrack("broken", p);
    PropertiesNode farTime;
    farTime.setDateTime("$time", std::numeric_limits<int64_t>::max() / 100, 0);
    Sdk::emitTrack("far", farTime);
    Sdk::emitTrack("last", PropertiesNode());
    auto records = Sdk::queuedRecords();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_NE(records[0].find("\"first\""), std::string::npos);
    EXPECT_NE(records[1].find("\"last\""), std::string::npos);
    EXPECT_TRUE(capture.contains("Failed to render the track record 'broken'"));
    EXPECT_TRUE(capture.contains("The property '$time' is out of range."));
}

TEST(CoreSdkLifecycle, InitRulesAndNoInstance) {
    DiagnosticCapture capture;
    EXPECT_FALSE(Sdk::Init("", "https://127.0.0.1:9/", std::string(256, 'd'), false));
    EXPECT_FALSE(Sdk::exists());
    EXPECT_FALSE(Sdk::Init("", "https://127.0.0.1:9/", "", false));
    EXPECT_TRUE(capture.contains("The Distinct ID is empty."));
    // Emits without an instance do nothing.
    Sdk::emitTrack("ev", PropertiesNode());
    Sdk::emitSignup("u");
    EXPECT_FALSE(Sdk::flushAll());

    ASSERT_TRUE(Sdk::Init("", "https://127.0.0.1:9/", std::string(255, 'd'), false));
    EXPECT_TRUE(Sdk::Init("", "https://127.0.0.1:9/", "other", true));  // unchanged
    EXPECT_EQ(Sdk::distinctId(), std::string(255, 'd'));
    EXPECT_FALSE(Sdk::isLoginId());
    EXPECT_TRUE(Sdk::queuedRecords().empty());
    Sdk::shutdown();
    EXPECT_FALSE(Sdk::exists());
    Sdk::shutdown();  // twice is harmless
}

TEST(CoreSdkLifecycle, TrackIdShape) {
    std::srand(1);
    for (int i = 0; i < 2000; ++i) {
        int64_t id = trackId();
        ASSERT_GE(id, 0);
        ASSERT_LE(id, 989989999);
        EXPECT_LE(id / 10000000, 98);         // rand() % 99 + 100, last two digits
        EXPECT_LE((id / 10000) % 1000, 998);  // rand() % 999 + 1000, last three digits
    }
}

}  // namespace
}  // namespace analytics_core
