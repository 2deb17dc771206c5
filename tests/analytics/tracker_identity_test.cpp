// Tracker creation, initialisation and shutdown: the identity file across tracker lifetimes,
// the reset on a new server, the login, the Set.ini override, the wrapper's swallowing, a
// failed initialisation, the track log and the staging file that carries unsent records to
// the next run.
#include <gtest/gtest.h>

#include <filesystem>

#include "analytics/core/sdk.h"
#include "analytics/identity.h"
#include "analytics/tracker_impl.h"
#include "tests/analytics/tracker_test_support.h"
#include "utils/profile.h"
#include "utils/text.h"

namespace orvan::analytics {
namespace {

using analytics_test::ReadFile;
using analytics_test::WriteFile;
using tracker_test::DataHome;
using tracker_test::EventOf;
using tracker_test::HasProperty;

std::string Ini(const std::string& file, const wchar_t* key, const wchar_t* section = L"Base") {
    return Utils::ToNarrow(Utils::ReadProfileString(file, section, key, L"<missing>"),
                           Utils::kCodePageUtf8);
}

TEST(TrackerIdentity, DistinctIdSurvivesTwoTrackerLifetimes) {
    DataHome home;
    std::string first;
    {
        TrackerImpl tracker(tracker_test::Config());
        tracker.init();
        first = tracker.anonymousId();
        EXPECT_EQ(analytics_core::Sdk::distinctId(), first);
    }
    std::string file = home.identityFile();
    EXPECT_EQ(Ini(file, L"DistinctId"), first);
    EXPECT_EQ(Ini(file, L"PrimaryDistinctId"), first);
    EXPECT_EQ(Ini(file, L"URL"), tracker_test::kDeadUrl);
    EXPECT_EQ(Ini(file, L"isLogined"), "NG");
    EXPECT_EQ(Ini(file, L"UserVipLevel"), "0");
    EXPECT_EQ(Ini(file, L"AppStore", L"UninstallInfo"), "glyphora-installer");
    EXPECT_EQ(Ini(file, L"AppName", L"UninstallInfo"), "Glyphora.downloader");
    EXPECT_EQ(Ini(file, L"AppVersion", L"UninstallInfo"), "1.7.9");
    EXPECT_TRUE(std::filesystem::exists(home.dataFolder() + "Glyphora.downloader_OVSLog.txt"));
    {
        TrackerImpl tracker(tracker_test::Config());
        tracker.init();
        EXPECT_EQ(tracker.anonymousId(), first);
        EXPECT_EQ(analytics_core::Sdk::distinctId(), first);
    }
}

TEST(TrackerIdentity, StoredIdentityIsReadOrResetByServer) {
    struct Case {
        const char* what;
        const char* url;
        const char* logined;
        bool loggedIn;           // after init
        const char* distinctId;  // after init (the core's id too)
        const char* userId;      // after init
    };
    const Case cases[] = {
        {"same server, logged in", tracker_test::kDeadUrl, "OK", true, "u1", "u1"},
        {"same server, \"ok\" is not OK", tracker_test::kDeadUrl, "ok", false, "u1", "u1"},
        {"another server resets", "https://127.0.0.1:2/sa?project=pc", "OK", false, "anon", ""},
    };
    for (const Case& c : cases) {
        DataHome home;
        std::filesystem::create_directories(home.dataFolder());
        std::string file = home.identityFile();
        WriteFile(file, std::string("[Base]\nDistinctId=u1\nPrimaryDistinctId=anon\nUserId=u1\n"
                                    "UserVipLevel=3\nURL=") +
                            c.url + "\nisLogined=" + c.logined + "\n");
        {
            TrackerImpl tracker(tracker_test::Config());
            tracker.init();
            const TrackerIdentity& id = tracker.context().identity;
            EXPECT_EQ(id.loggedIn, c.loggedIn) << c.what;
            EXPECT_EQ(id.distinctId, c.distinctId) << c.what;
            EXPECT_EQ(id.userId, c.userId) << c.what;
            EXPECT_EQ(tracker.anonymousId(), "anon") << c.what;
            // The core reports under the user id when logged in, else the distinct id.
            EXPECT_EQ(analytics_core::Sdk::distinctId(), c.loggedIn ? "u1" : c.distinctId)
                << c.what;
            EXPECT_EQ(analytics_core::Sdk::isLoginId(), c.loggedIn) << c.what;
        }
        EXPECT_EQ(Ini(file, L"URL"), tracker_test::kDeadUrl) << c.what;
        EXPECT_EQ(Ini(file, L"isLogined"), c.loggedIn ? "OK" : "NG") << c.what;
        EXPECT_EQ(Ini(file, L"UserId"), c.userId) << c.what;
        EXPECT_EQ(Ini(file, L"DistinctId"), c.distinctId) << c.what;
        EXPECT_EQ(Ini(file, L"PrimaryDistinctId"), "anon") << c.what;
    }
}

TEST(TrackerIdentity, HostileIdentityFilesLoadWithinTheirBuffers) {
    struct Case {
        const char* what;
        std::string text;
        std::string distinctId;  // expected; "<new>" for a freshly made id
    };
    std::string accents;
    for (int i = 0; i < 100; ++i)
        accents += "\xC3\xA9";  // 200 bytes of "é"
    const Case cases[] = {
        {"value cut on a character boundary", "[Base]\nDistinctId=" + accents + "\n",
         accents.substr(0, 126)},
        {"long ASCII value", "[Base]\nDistinctId=" + std::string(300, 'd') + "\n",
         std::string(127, 'd')},
        {"binary junk", std::string("\x00\xFF[Base\x01\n=\n\xC0\x80\n", 12), "<new>"},
        {"no [Base] section", "[Other]\nDistinctId=zzz\n", "<new>"},
    };
    for (const Case& c : cases) {
        analytics_test::TempDir dir;
        std::string file = dir.file("id.ini");
        WriteFile(file, c.text);
        TrackerIdentity identity;
        LoadIdentity(file, identity);
        if (c.distinctId == "<new>") {
            EXPECT_EQ(identity.distinctId.size(), 36u) << c.what;
            EXPECT_EQ(Ini(file, L"DistinctId"), identity.distinctId) << c.what;
        } else {
            EXPECT_EQ(identity.distinctId, c.distinctId) << c.what;
        }
        EXPECT_EQ(identity.primaryDistinctId, identity.distinctId) << c.what;
        EXPECT_FALSE(identity.loggedIn) << c.what;
    }
}

TEST(TrackerIdentity, LoginSignsUpOnce) {
    DataHome home;
    TrackerImpl tracker(tracker_test::Config());
    tracker.init();
    std::string anon = tracker.anonymousId();
    OvUserInfo user;
    user.userId = "u1";
    user.userType = UserType::Email;
    user.vipLevel = 2;
    size_t before = tracker_test::Queued().size();
    tracker.trackLogin(user, true, "", {});
    tracker.trackLogin(user, true, "", {});
    auto all = tracker_test::Queued();
    std::vector<std::string> records(all.begin() + static_cast<long>(before), all.end());
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(EventOf(records[0]), "OvEventLogin");
    EXPECT_NE(records[0].find("\"distinct_id\":\"" + anon + "\""), std::string::npos);
    EXPECT_TRUE(HasProperty(records[0], "ov_type", "\"email\""));
    EXPECT_TRUE(HasProperty(records[0], "ov_result", "\"Success\""));
    EXPECT_TRUE(HasProperty(records[0], "ov_login_id", "\"u1\""));
    EXPECT_EQ(EventOf(records[1]), "$SignUp");
    EXPECT_NE(records[1].find("\"original_id\":\"" + anon + "\""), std::string::npos);
    EXPECT_EQ(EventOf(records[2]), "OvEventLogin");
    EXPECT_NE(records[2].find("\"distinct_id\":\"u1\""), std::string::npos);
    EXPECT_TRUE(HasProperty(records[2], "$is_login_id", "true"));
    EXPECT_TRUE(HasProperty(records[2], "ov_user_id", "\"u1\""));
    EXPECT_EQ(Ini(home.identityFile(), L"isLogined"), "OK");
    EXPECT_EQ(Ini(home.identityFile(), L"UserId"), "u1");
    EXPECT_EQ(Ini(home.identityFile(), L"UserVipLevel"), "2");
    EXPECT_EQ(tracker.anonymousId(), anon);
}

TEST(TrackerIdentity, SetIniOverride) {
    analytics_test::TempDir dir;
    std::string local = dir.path() + "/local";
    std::string setIni = dir.file("Set.ini");
    struct Case {
        const char* what;
        std::string value;  // nullptr-like "<none>": no Set.ini at all
        std::string identityFile;
        std::string dataFolder;
    };
    const std::string named = dir.path() + "/Data/x.ini";
    const Case cases[] = {
        {"named file", named, named, dir.path() + "/Data/"},
        {"backslashes", dir.path() + "\\Data2\\y.ini", dir.path() + "/Data2/y.ini",
         dir.path() + "/Data2/"},
        {"no separator", "x.ini", local + "/OVLocal/App/App_OVSConfigure.ini",
         local + "/OVLocal/App/"},
        {"empty", "", local + "/OVLocal/App/App_OVSConfigure.ini", local + "/OVLocal/App/"},
    };
    for (const Case& c : cases) {
        WriteFile(setIni, "[Install]\nVIVuvadadUzudovezuIni=" + c.value + "\n");
        IdentityPaths paths = ResolveIdentityPaths(setIni, local, "App");
        EXPECT_EQ(paths.identityFile, c.identityFile) << c.what;
        EXPECT_EQ(paths.dataFolder, c.dataFolder) << c.what;
        EXPECT_TRUE(std::filesystem::is_directory(paths.dataFolder)) << c.what;
    }
    IdentityPaths none = ResolveIdentityPaths(dir.file("missing.ini"), local, "App");
    EXPECT_EQ(none.identityFile, local + "/OVLocal/App/App_OVSConfigure.ini");
}

TEST(TrackerIdentity, WrapperSwallowsAndSaysWhichOperationFailed) {
    DataHome home;
    Tracker::create(tracker_test::Config());
    auto tracker = globalTracker();
    ASSERT_NE(tracker, nullptr);
    EXPECT_EQ(tracker->trackLogger(), nullptr);
    EXPECT_FALSE(tracker->anonymousId().empty());
    testing::internal::CaptureStdout();
    tracker->trackClick(OvEventClick{}, {});
    OvEventTask task;
    task.name = "n";
    task.result = static_cast<OvResult>(7);
    tracker->trackTask(task, {});
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "Failed to trackClick\nFailed to trackTask\n");
    tracker.reset();
    Tracker::release();
    EXPECT_EQ(globalTracker(), nullptr);
    EXPECT_FALSE(analytics_core::Sdk::exists());
}

TEST(TrackerIdentity, FailedInitialisationSendsAndWritesNothing) {
    DataHome home;
    auto config = tracker_test::Config();
    config.appStore.clear();
    {
        TrackerImpl impl(config);
        try {
            impl.init();
            ADD_FAILURE() << "init accepted an empty app store";
        } catch (const OvException& e) {
            EXPECT_STREQ(e.what(), "appStore is empty");
            EXPECT_EQ(e.function(), "init");
        }
    }
    Tracker::create(config);
    auto tracker = globalTracker();
    ASSERT_NE(tracker, nullptr);
    testing::internal::CaptureStdout();
    tracker->trackClick(OvEventClick{}, {});  // fails, but there is no log: no line
    OvEventClick click;
    click.name = "立即安装";
    tracker->trackClick(click, {});
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_FALSE(analytics_core::Sdk::exists());
    tracker.reset();
    Tracker::release();
    // Shutdown of a tracker that never knew its identity file writes none anywhere.
    EXPECT_FALSE(std::filesystem::exists(home.dir().path() + "/OVLocal"));
    std::error_code ec;
    EXPECT_TRUE(std::filesystem::is_empty(home.dir().path(), ec));
}

TEST(TrackerIdentity, LocaleOverrideReachesSuperProperties) {
    DataHome home;
    TrackerImpl tracker(tracker_test::Config());
    tracker.init();
    tracker.setLocale("ja_JP");
    auto super = analytics_core::Sdk::superProperties().toJson();
    EXPECT_NE(super.find("\"ov_l10n_locale\":\"ja_JP\""), std::string::npos) << super;
    EXPECT_NE(super.find("\"ov_l10n_language\":\"ja\""), std::string::npos) << super;
    EXPECT_NE(super.find("\"ov_l10n_country\":\"JP\""), std::string::npos) << super;
}

TEST(TrackerIdentity, UnsentRecordsLeaveWithTheNextRunsFirstFlush) {
    DataHome home;
    std::string staging = home.dataFolder() + "Glyphora.downloader_OVSQueue.txt";
    {
        Tracker::create(tracker_test::Config());  // nothing listens there
        OvEventTask task;
        task.name = "开始下载大包";
        globalTracker()->trackTask(task, {});
        globalTracker()->trackCrash("崩溃");  // asks for a flush, which fails
        analytics_core::WaitForDetachedFlushJobs(std::chrono::seconds(20));
        Tracker::release();
    }
    auto staged = analytics_test::ReadLines(staging);
    ASSERT_EQ(staged.size(), 2u) << "the staging file is a file in the data folder";
    EXPECT_EQ(EventOf(staged[0]), "OvEventTask");

    analytics_test::Collector collector;
    ASSERT_TRUE(collector.ok()) << collector.stderrText();
    analytics_test::ScopedEnv ca("CURL_CA_BUNDLE", collector.cert().c_str());
    Tracker::create(tracker_test::Config(collector.url()));
    globalTracker()->trackLaunch({});
    auto records = collector.waitForRecords(3, std::chrono::seconds(20));
    Tracker::release();
    ASSERT_GE(records.size(), 3u) << collector.stderrText();
    EXPECT_EQ(EventOf(records[0]), "OvEventTask");
    EXPECT_EQ(EventOf(records[1]), "AppCrashed");
    EXPECT_EQ(EventOf(records[2]), "OvEventLaunch");
    EXPECT_TRUE(analytics_test::ReadLines(staging).empty());
}

}  // namespace
}  // namespace orvan::analytics
