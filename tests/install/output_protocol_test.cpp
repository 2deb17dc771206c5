#include "install/output_protocol.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/install/test_support.h"

namespace {

using install_test::Event;
using install_test::EventRecorder;

struct Case {
    const wchar_t* text;
    std::vector<Event> events;
    int result;
    int32_t codePageAfter;  // starting from 7
};

std::string Describe(const std::vector<Event>& events) {
    std::string out;
    for (const Event& e : events) {
        out += std::to_string(e.code) + "/" + std::to_string(e.value) + "/" +
               std::string(e.text.begin(), e.text.end()) + " ";
    }
    return out;
}

void Check(const Case& c, bool package) {
    EventRecorder recorder;
    int32_t codePage = 7;
    int result = package ? ParsePackageOutput(c.text, recorder.Callback(), codePage)
                         : ParseUninstallOutput(c.text, recorder.Callback(), codePage);
    std::vector<Event> got = recorder.Events();
    std::string label = std::string(package ? "package: " : "uninstaller: ") +
                        std::to_string(std::wstring(c.text).size()) + " chars";
    EXPECT_EQ(result, c.result) << label;
    EXPECT_EQ(codePage, c.codePageAfter) << label;
    ASSERT_EQ(got.size(), c.events.size()) << label << " got " << Describe(got);
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].code, c.events[i].code) << label << " event " << i;
        EXPECT_DOUBLE_EQ(got[i].value, c.events[i].value) << label << " event " << i;
        EXPECT_EQ(got[i].text, c.events[i].text) << label << " event " << i;
    }
}

TEST(PackageOutputTest, KeysValuesAndFinalStates) {
    const std::vector<Case> cases = {
        {L"Progress=0.5\nProgress=0.6", {{2002, 0.5, L""}, {2002, 0.6, L""}}, 0, 7},
        {L"Progress=abc", {{2002, 0.0, L""}}, 0, 7},
        {L"Progress=  0.25xyz", {{2002, 0.25, L""}}, 0, 7},
        {L" Progress=0.5", {}, 0, 7},
        {L"progress=0.5", {}, 0, 7},
        {L"State=Success\r\n", {{2003, 0.0, L""}}, 1, 7},
        {L"State= Success ", {{2003, 0.0, L""}}, 1, 7},
        {L"State=success", {}, 0, 7},
        {L"State=Done", {}, 0, 7},
        {L"State=Fail", {{2004, 0.0, L"安装包安装失败"}}, 1000, 7},
        {L"Error=disk full\r", {{2004, 1000.0, L"disk full\r"}}, 1000, 7},
        {L"Error=", {{2004, 1000.0, L""}}, 1000, 7},
        {L"ExePath=/opt/G/Glyphora.exe\r", {{3001, 0.0, L"/opt/G/Glyphora.exe\r"}}, 0, 7},
        {L"StartExe=/a b", {{3001, 0.0, L"/a b"}}, 0, 7},
        {L"InstPath= /x ", {{3000, 0.0, L" /x "}}, 0, 7},
        {L"UninstExePath=/u", {{3002, 0.0, L"/u"}}, 0, 7},
        {L"UninstExe=/v", {{3002, 0.0, L"/v"}}, 0, 7},
        {L"UninstEp=/w/uninst.ep", {{3003, 0.0, L"/w/uninst.ep"}}, 0, 7},
        {L"InstallVersion=1.2.3", {}, 0, 7},
        {L"TopShowDetention=-1", {{3007, 4294967295.0, L""}}, 0, 7},
        {L"TopShowDetention=3000", {{3007, 3000.0, L""}}, 0, 7},
        {L"FinsihCloseDetention=5000", {{3008, 5000.0, L""}}, 0, 7},
        {L"FinsihCloseDetention=99999999999", {{3008, 0.0, L""}}, 0, 7},
        {L"StartUrl=http://x/", {{3004, 0.0, L"http://x/"}}, 0, 7},
        {L"StartupStyle=NonStartup", {{3005, 0.0, L""}}, 0, 7},
        {L"StartupStyle=AutoStartup\r", {{3005, 1.0, L""}}, 0, 7},
        {L"StartupStyle=UserStartup", {{3005, 2.0, L""}}, 0, 7},
        {L"StartupStyle=Whatever", {{3005, 0.0, L""}}, 0, 7},
        {L"Encode=UTF8", {}, 0, 65001},
        {L"Encode=ACP", {}, 0, 0},
        {L"Encode=936\r", {}, 0, 936},
        {L"Encode=GBK", {}, 0, 0},
        {L"Message=", {{3009, 0.0, L""}}, 0, 7},
        {L"Message=hello=world", {{3009, 0.0, L"hello=world"}}, 0, 7},
        // A final state does not stop the rest of the text; the last final state wins.
        {L"Error=bad\nProgress=0.7\nState=Success",
         {{2004, 1000.0, L"bad"}, {2002, 0.7, L""}, {2003, 0.0, L""}},
         1,
         7},
        {L"State=Success\nState=Fail\n",
         {{2003, 0.0, L""}, {2004, 0.0, L"安装包安装失败"}},
         1000,
         7},
        {L"", {}, 0, 7},
        {L"\n\n\r\n", {}, 0, 7},
    };
    for (const Case& c : cases)
        Check(c, true);
}

TEST(UninstallOutputTest, KeysValuesAndFinalStates) {
    const std::vector<Case> cases = {
        {L"Progress=0.4\r\nProgress=x", {{5002, 0.4, L""}, {5002, 0.0, L""}}, 0, 7},
        {L"Error=in use", {{5005, 0.0, L"in use"}}, 1000, 7},
        {L"State=Success\r", {{5003, 0.0, L""}}, 1, 7},
        // "Fail" is an error event with the fixed text, not UNIST_CODE_FAIL.
        {L"State=Fail", {{5005, 0.0, L"安装包卸载失败"}}, 1000, 7},
        {L"State=FAIL", {}, 0, 7},
        {L"Error=x\nState=Success", {{5005, 0.0, L"x"}, {5003, 0.0, L""}}, 1, 7},
        {L"Encode=UTF8", {}, 0, 65001},
        {L"Encode=936", {}, 0, 0},
        {L"Encode=ACP", {}, 0, 0},
        // Package-only keys mean nothing here.
        {L"InstPath=/x\nMessage=m\nExePath=/y", {}, 0, 7},
    };
    for (const Case& c : cases)
        Check(c, false);
}

TEST(PackageOutputTest, LongTextValueIsCutTo771Characters) {
    EventRecorder recorder;
    int32_t codePage = 0;
    std::wstring value(2000, L'v');
    ParsePackageOutput(L"Message=" + value, recorder.Callback(), codePage);
    ASSERT_EQ(recorder.Events().size(), 1u);
    EXPECT_EQ(recorder.Events()[0].text, std::wstring(771, L'v'));
}

TEST(PackageOutputTest, NullCallbackStillReportsFinalState) {
    int32_t codePage = 0;
    EXPECT_EQ(ParsePackageOutput(L"Error=x", InstallCallback(), codePage), 1000);
}

TEST(InstallEventNameTest, NamesCodes) {
    EXPECT_STREQ(InstallEventName(IST_CODE_FAIL), L"IST_CODE_FAIL");
    EXPECT_STREQ(InstallEventName(UNIST_CODE_SUCCESS), L"UNIST_CODE_SUCCESS");
    EXPECT_STREQ(InstallEventName(3006), L"");
}

}  // namespace
