#include "app/launch_options.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include "tests/utils/temp_dir.h"

namespace {

using namespace std::string_literals;
using TestSupport::TempDir;

// The fields a case checks; unset ones must equal the built-in defaults.
struct Expect {
    std::optional<std::wstring> url = std::nullopt;
    std::optional<int32_t> type = std::nullopt;
    std::optional<bool> checkNet = std::nullopt;
    std::optional<bool> analytics = std::nullopt;
    std::optional<double> scale = std::nullopt;  // NaN allowed
    std::optional<std::wstring> suffix = std::nullopt;
    std::optional<std::wstring> dlVersion = std::nullopt;
    std::optional<std::wstring> instCmd = std::nullopt;
};

void CheckFields(const LaunchOptions& o, const Expect& e, const std::string& label) {
    EXPECT_EQ(o.DownloadUrl, e.url.value_or(kDefaultDownloadUrl)) << label;
    EXPECT_EQ(o.DownloadType, e.type.value_or(1)) << label;
    EXPECT_EQ(o.IsCheckNet, e.checkNet.value_or(false)) << label;
    EXPECT_EQ(o.IsEnableAnalytics, e.analytics.value_or(true)) << label;
    double scale = e.scale.value_or(0.7);
    if (std::isnan(scale)) {
        EXPECT_TRUE(std::isnan(o.DownloadScale)) << label << " scale " << o.DownloadScale;
    } else {
        EXPECT_DOUBLE_EQ(o.DownloadScale, scale) << label;
    }
    EXPECT_EQ(o.DlAppNameSuffix, e.suffix.value_or(L".downloader")) << label;
    EXPECT_EQ(o.DlAppVersion, e.dlVersion.value_or(L"")) << label;
    EXPECT_EQ(o.InstCmd, e.instCmd.value_or(L"")) << label;
    // Never configurable.
    EXPECT_EQ(o.AppName, L"Glyphora") << label;
    EXPECT_EQ(o.AppVersion, L"1.7.9") << label;
    EXPECT_EQ(o.EventTag, L"IN") << label;
    EXPECT_TRUE(o.CurlReady) << label;
}

TEST(LoadLaunchOptions, NoFileGivesTheBuiltInDefaults) {
    TempDir dir;
    LaunchOptions o;
    o.DownloadType = 77;  // every field is reset, not only the ones the file names
    o.InstCmd = L"stale";
    LoadLaunchOptions(o, dir.File("OrvanInstallerConfig.ini"));
    CheckFields(o, {}, "no file");
    EXPECT_EQ(o.ExeName, L"app_tests");
    EXPECT_EQ(std::wstring(kDefaultDownloadUrl).substr(0, 7), L"http://");
    EXPECT_NE(std::wstring(kDefaultDownloadUrl).find(L"/software/259"), std::wstring::npos);
}

TEST(LoadLaunchOptions, FileValuesAndTheirFallbacks) {
    const double kNaN = std::numeric_limits<double>::quiet_NaN();
    (void)kNaN;
    struct Case {
        const char* label;
        std::string file;
        Expect expect;
    } cases[] = {
        {"only the section header: IsCheckNet defaults to true", "[Install]\n", {.checkNet = true}},
        {"empty file: the section is missing, the file exists", "", {.checkNet = true}},
        {"true spelled with a capital",
         "[Install]\r\nIsCheckNet=True\r\nIsEnableAnalytics=TRUE\r\n",
         {.checkNet = false, .analytics = false}},
        {"blanks and quotes around values",
         "[Install]\n  IsCheckNet =  \"true\"  \nDlAppNameSuffix = '.dl' \n",
         {.checkNet = true, .suffix = L".dl"}},
        {"names compare without case",
         "[INSTALL]\ndownloadtype=3\nm_dlappversion=5.1\n",
         {.type = 3, .checkNet = true, .dlVersion = L"5.1"}},
        {"DownloadType not a number",
         "[Install]\nDownloadType=abc\n",
         {.type = 0, .checkNet = true}},
        {"DownloadType empty keeps the default",
         "[Install]\nDownloadType=\n",
         {.type = 1, .checkNet = true}},
        {"DownloadType out of range",
         "[Install]\nDownloadType=99999999999\n",
         {.type = 0, .checkNet = true}},
        {"DownloadType with trailing text",
         "[Install]\nDownloadType= 2x\n",
         {.type = 2, .checkNet = true}},
        {"DownloadScale letters",
         "[Install]\nDownloadScale=abc\n",
         {.checkNet = true, .scale = 0.0}},
        {"DownloadScale number then letters",
         "[Install]\nDownloadScale=0.5abc\n",
         {.checkNet = true, .scale = 0.5}},
        {"DownloadScale out of range",
         "[Install]\nDownloadScale=1e999\n",
         {.checkNet = true, .scale = 0.0}},
        {"DownloadScale empty", "[Install]\nDownloadScale=\n", {.checkNet = true, .scale = 0.0}},
        {"URL with the route placeholder twice",
         "[Install]\nDownloadUrl=http://h/${ROUTE}/p/${ROUTE}?x\n",
         {.url = L"http://h/download_silent/p/download_silent?x", .checkNet = true}},
        {"other sections and unknown keys are ignored",
         "[Other]\nDownloadType=3\n[Install]\nUnknown=1\nInstCmd=/quiet "
         "a=b\n[Install2]\nInstCmd=x\n",
         {.checkNet = true, .instCmd = L"/quiet a=b"}},
        {"no final line end",
         "[Install]\nIsCheckNet=false\nDownloadType=2",
         {.type = 2, .checkNet = false}},
        {"binary junk around the section",
         "\x00\xff\xfe\x01junk\x00\n[Install]\n\xc3\x28=\x80\x81\nDownloadType=3\n\x00\x00[\x00"s,
         {.type = 3, .checkNet = true}},
        {"values are cut to 259 characters",
         "[Install]\nInstCmd=" + std::string(100000, 'x'),
         {.checkNet = true, .instCmd = std::wstring(259, L'x')}},
        {"a very long junk line before the section",
         std::string(1 << 20, '\x7f') + "\n[Install]\nIsCheckNet=false\n",
         {.checkNet = false}},
    };
    for (const Case& c : cases) {
        TempDir dir;
        std::string path = dir.Write("OrvanInstallerConfig.ini", c.file);
        LaunchOptions o;
        LoadLaunchOptions(o, path);
        CheckFields(o, c.expect, c.label);
    }
}

TEST(ApplyCommandLine, OverlaysOnlyTheSwitchesPresent) {
    const double kNaN = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const wchar_t* line;
        Expect expect;  // unset fields: the values of Base() below
    } cases[] = {
        {L"setup.exe", {}},
        {L"setup.exe -downloadurl", {.url = L""}},
        {L"setup.exe -downloadurl=http://x/${ROUTE}/f", {.url = L"http://x/download_silent/f"}},
        {L"setup.exe -downloadtype=a", {.type = 0}},
        {L"setup.exe -downloadtype=2 -downloadtype=3", {.type = 2}},
        {L"setup.exe -downloadtype=4294967298", {.type = 0}},
        {L"setup.exe -downloadscale=abc", {.scale = kNaN}},
        {L"setup.exe -downloadscale=1e999", {.scale = kNaN}},
        {L"setup.exe -downloadscale=0.25", {.scale = 0.25}},
        {L"setup.exe -ischecknet=TRUE", {.checkNet = false}},
        {L"setup.exe -ischecknet=true", {.checkNet = true}},
        {L"setup.exe -isenableanalytics=1", {.analytics = false}},
        {L"setup.exe \"-instcmd=/S /D=C:\\a b\" -dlappnamesuffix=.x -dlappversion=9",
         {.suffix = L".x", .dlVersion = L"9", .instCmd = L"/S /D=C:\\a b"}},
        {L"setup.exe -instcmd=a=b=c", {.instCmd = L"a=b=c"}},
        // Capitals or a missing "-" change nothing.
        {L"setup.exe -DownloadUrl=http://other -DOWNLOADTYPE=3 downloadtype=3 ischecknet=false",
         {}},
    };
    for (const Case& c : cases) {
        LaunchOptions o;
        LoadLaunchOptions(o, "");
        o.IsCheckNet = true;  // start from values that differ from every switch's result
        o.DownloadType = 5;
        o.InstCmd = L"base";
        o.DlAppVersion = L"v";
        Expect e = c.expect;
        if (!e.checkNet)
            e.checkNet = true;
        if (!e.type)
            e.type = 5;
        if (!e.instCmd)
            e.instCmd = L"base";
        if (!e.dlVersion)
            e.dlVersion = L"v";
        ApplyCommandLine(o, c.line);
        CheckFields(o, e, std::string(c.line, c.line + wcslen(c.line)));
    }
}

TEST(ApplyCommandLine, CommandLineUrlOverridesTheFileUrl) {
    TempDir dir;
    std::string path =
        dir.Write("OrvanInstallerConfig.ini", "[Install]\nDownloadUrl=http://file/${ROUTE}\n");
    LaunchOptions o;
    LoadLaunchOptions(o, path);
    EXPECT_EQ(o.DownloadUrl, L"http://file/download_silent");
    ApplyCommandLine(o, L"p -downloadurl=http://cmd/${ROUTE}");
    EXPECT_EQ(o.DownloadUrl, L"http://cmd/download_silent");
}

TEST(ApplyCommandLine, ArgvKeepsBlanksAndQuotesOfEachArgument) {
    char a0[] = "/opt/with \"odd\" name/glyphora-installer";
    char a1[] = "-instcmd=/S /D=C:\\a b\\";
    char a2[] = "-dlappversion=\"q\"";
    char a3[] = "-dlappnamesuffix=";
    char* argv[] = {a0, a1, a2, a3, nullptr};
    ApplyCommandLine(4, argv);
    EXPECT_EQ(GetLaunchOptions().InstCmd, L"/S /D=C:\\a b\\");
    EXPECT_EQ(GetLaunchOptions().DlAppVersion, L"\"q\"");
    EXPECT_EQ(GetLaunchOptions().DlAppNameSuffix, L"");
}

TEST(ResolveDownloadRoute, RouteFollowsTheVersionText) {
    struct Case {
        const wchar_t* url;
        const wchar_t* version;
        const wchar_t* expected;
    } cases[] = {
        {L"http://h/${ROUTE}/a/${ROUTE}", L"10", L"http://h/download_silent/a/download_silent"},
        {L"http://h/${ROUTE}/a/${ROUTE}", L"XP",
         L"http://h/download_silent_xp/a/download_silent_xp"},
        {L"http://h/${ROUTE}", L"XP-", L"http://h/download_silent_xp"},
        {L"http://h/${ROUTE}", L"XP+", L"http://h/download_silent_xp"},
        {L"http://h/${ROUTE}", L"2K", L"http://h/download_silent"},
        {L"http://h/${ROUTE}", L"6.1.0-13-amd64", L"http://h/download_silent"},
        {L"http://h/${RO${ROUTE}UTE}", L"7", L"http://h/${ROdownload_silentUTE}"},
        {L"http://h/$ROUTE/{ROUTE}", L"XP", L"http://h/$ROUTE/{ROUTE}"},
        {L"", L"XP", L""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ResolveDownloadRoute(c.url, c.version), c.expected)
            << std::string(c.url, c.url + wcslen(c.url));
    }
    // This machine's own name never reads as XP.
    EXPECT_EQ(ResolveDownloadRoute(L"http://h/${ROUTE}"), L"http://h/download_silent");
    EXPECT_EQ(ResolveDownloadRoute(L"http://h/no-placeholder"), L"http://h/no-placeholder");
}

}  // namespace
