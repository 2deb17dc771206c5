// The process-wide launch options: built-in defaults, overlaid by the configuration file
// "OrvanInstallerConfig.ini" beside the executable, overlaid once by the command line.
//
// Written only on the start-up thread before any worker exists (first use, then
// ApplyCommandLine and the CurlReady update); afterwards every thread reads the fields
// without locks.
#pragma once

#include <cstdint>
#include <string>

struct LaunchOptions {
    std::wstring AppName = L"Glyphora";
    std::wstring AppVersion = L"1.7.9";
    std::wstring ExeName;  // file name of the running executable
    std::wstring DlAppNameSuffix = L".downloader";
    std::wstring DlAppVersion;
    std::wstring InstCmd;      // extra switches for the package
    std::wstring DownloadUrl;  // after ResolveDownloadRoute
    int32_t DownloadType = 1;  // 2 system, 3 segmented, else single-stream
    bool IsCheckNet = false;
    bool IsEnableAnalytics = true;
    double DownloadScale = 0.7;     // download share of the progress bar
    bool CurlReady = true;          // libcurl's global initialisation succeeded
    std::wstring EventTag = L"IN";  // the analytics "AB" value; not configurable
};

/// The one process-wide record. The first call builds it (LoadLaunchOptions), so it is
/// complete before any reader sees it, whatever the order of static initialisation.
LaunchOptions& GetLaunchOptions();

/// The built-in default download address (scheme http, path "/software/259").
extern const wchar_t kDefaultDownloadUrl[];

/// The configuration file's name; it is looked for beside the executable.
extern const char kLaunchConfigFileName[];

/// The configuration path of this process: the executable's folder joined with
/// kLaunchConfigFileName (just the name when the executable's path is unknown).
std::string DefaultLaunchConfigPath();

/// Sets every field of `options` to its built-in default (ExeName: the file name of the
/// running executable), then reads section "Install" of the configuration file at
/// `configPath` when it exists. Never fails: values that do not convert fall back as
/// documented beside each field's conversion.
void LoadLaunchOptions(LaunchOptions& options, const std::string& configPath);

/// Overlays the switches present in `commandLine` (the whole command line, program path
/// included) onto `options`.
void ApplyCommandLine(LaunchOptions& options, const std::wstring& commandLine);

/// Overlays the process's own command line onto the process-wide record; start-up calls
/// it once with the arguments main() received.
void ApplyCommandLine(int argc, char** argv);

/// Replaces every "${ROUTE}" of `url` by the route chosen from the operating-system name;
/// a URL without the placeholder is returned unchanged without probing the system.
std::wstring ResolveDownloadRoute(const std::wstring& url);

/// The same for a given operating-system version text (the second half of
/// Utils::GetOsName): "download_silent_xp" when it contains "XP", else "download_silent".
std::wstring ResolveDownloadRoute(const std::wstring& url, const std::wstring& osVersion);
