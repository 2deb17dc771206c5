#include "app/launch_options.h"

#include <sys/stat.h>

#include <cmath>
#include <limits>
#include <vector>

#include "utils/command_line.h"
#include "utils/folders.h"
#include "utils/number_text.h"
#include "utils/os_info.h"
#include "utils/profile.h"
#include "utils/text.h"

const wchar_t kDefaultDownloadUrl[] = L"http://download.lexivo.example/software/259";
const char kLaunchConfigFileName[] = "OrvanInstallerConfig.ini";

namespace {

constexpr wchar_t kSection[] = L"Install";
constexpr wchar_t kRoutePlaceholder[] = L"${ROUTE}";

std::wstring FileNamePart(const std::string& path) {
    size_t slash = path.rfind('/');
    return Utils::ToWide(slash == std::string::npos ? path : path.substr(slash + 1),
                         Utils::kCodePageSystem);
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::wstring ReadText(const std::string& path, const wchar_t* key, const wchar_t* def) {
    return Utils::ReadProfileString(path, kSection, key, def, Utils::kProfileValueChars);
}

}  // namespace

std::string DefaultLaunchConfigPath() {
    std::string exe = Utils::GetModulePath();
    size_t slash = exe.rfind('/');
    if (slash == std::string::npos)
        return kLaunchConfigFileName;
    return exe.substr(0, slash + 1) + kLaunchConfigFileName;
}

void LoadLaunchOptions(LaunchOptions& options, const std::string& configPath) {
    options = LaunchOptions{};
    options.ExeName = FileNamePart(Utils::GetModulePath());
    options.DownloadUrl = ResolveDownloadRoute(kDefaultDownloadUrl);
    if (configPath.empty() || !FileExists(configPath))
        return;

    options.DownloadUrl =
        ResolveDownloadRoute(ReadText(configPath, L"DownloadUrl", kDefaultDownloadUrl));
    options.DownloadType = Utils::ReadProfileInt(configPath, kSection, L"DownloadType", 1);
    options.IsCheckNet = ReadText(configPath, L"IsCheckNet", L"true") == L"true";
    options.IsEnableAnalytics = ReadText(configPath, L"IsEnableAnalytics", L"true") == L"true";
    options.DlAppNameSuffix = ReadText(configPath, L"DlAppNameSuffix", L".downloader");
    options.DlAppVersion = ReadText(configPath, L"m_DlAppVersion", L"");
    double scale = 0.0;
    if (!Utils::ParseLeadingDouble(ReadText(configPath, L"DownloadScale", L"0.7"), &scale)) {
        scale = 0.0;  // no number at the start, or out of range
    }
    options.DownloadScale = scale;
    options.InstCmd = ReadText(configPath, L"InstCmd", L"");
}

LaunchOptions& GetLaunchOptions() {
    static LaunchOptions options = [] {
        LaunchOptions o;
        LoadLaunchOptions(o, DefaultLaunchConfigPath());
        return o;
    }();
    return options;
}

namespace {

// Overlays the switches present in `cl`, in the documented order.
void ApplySwitches(LaunchOptions& options, const Utils::CommandLine& cl) {
    if (cl.Has(L"-downloadurl")) {
        options.DownloadUrl = ResolveDownloadRoute(cl.GetString(L"-downloadurl"));
    }
    if (cl.Has(L"-downloadtype"))
        options.DownloadType = cl.GetInt(L"-downloadtype");
    if (cl.Has(L"-downloadscale")) {
        options.DownloadScale =
            cl.GetDouble(L"-downloadscale", std::numeric_limits<double>::quiet_NaN());
    }
    if (cl.Has(L"-ischecknet"))
        options.IsCheckNet = cl.GetBool(L"-ischecknet");
    if (cl.Has(L"-isenableanalytics")) {
        options.IsEnableAnalytics = cl.GetBool(L"-isenableanalytics");
    }
    if (cl.Has(L"-dlappnamesuffix"))
        options.DlAppNameSuffix = cl.GetString(L"-dlappnamesuffix");
    if (cl.Has(L"-dlappversion"))
        options.DlAppVersion = cl.GetString(L"-dlappversion");
    if (cl.Has(L"-instcmd"))
        options.InstCmd = cl.GetString(L"-instcmd");
}

}  // namespace

void ApplyCommandLine(LaunchOptions& options, const std::wstring& commandLine) {
    ApplySwitches(options, Utils::CommandLine(commandLine));
}

void ApplyCommandLine(int argc, char** argv) {
    // This OS hands over the arguments already split; they are read as the splitter would
    // have produced them, so no quoting round trip can alter a value.
    std::vector<std::wstring> args;
    for (int i = 0; i < argc; ++i) {
        args.push_back(Utils::ToWide(argv[i] != nullptr ? argv[i] : "", Utils::kCodePageSystem));
    }
    ApplySwitches(GetLaunchOptions(), Utils::CommandLine(args));
}

std::wstring ResolveDownloadRoute(const std::wstring& url) {
    if (url.find(kRoutePlaceholder) == std::wstring::npos)
        return url;
    return ResolveDownloadRoute(url, Utils::GetOsName().second);
}

std::wstring ResolveDownloadRoute(const std::wstring& url, const std::wstring& osVersion) {
    const std::wstring route =
        osVersion.find(L"XP") != std::wstring::npos ? L"download_silent_xp" : L"download_silent";
    std::wstring out = url;
    const size_t len = std::char_traits<wchar_t>::length(kRoutePlaceholder);
    // Search again from the start after each replacement: text around a placeholder can
    // form a new one once the inner one is replaced. The route texts never hold a
    // placeholder, so this ends.
    for (size_t pos; (pos = out.find(kRoutePlaceholder)) != std::wstring::npos;) {
        out.replace(pos, len, route);
    }
    return out;
}
