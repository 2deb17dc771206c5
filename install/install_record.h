// The records an installation leaves behind, and reading them back: the product's registry
// key ("InstallPath", "UnInstallEp"), the "Install" section of the product's "set.ini", and
// the "UpdateTime" stamp in the analytics settings file.
//
// All operations run on the UI thread (or the silent installer's main thread) and report
// nothing: failures leave values empty or unwritten, with a trace line.
#pragma once

#include <string>

/// What an earlier installation recorded.
struct InstallRecord {
    std::wstring folder;           ///< "InstallPath"; empty when there is no installation
    std::wstring uninstallerPath;  ///< "UnInstallEp", else folder + "/uninst.ep"
};

/// The uninstaller entry file's name inside the installation folder.
inline constexpr wchar_t kUninstallEntryName[] = L"uninst.ep";

/// Reads the registry key. An installation exists exactly when `folder` is not empty.
InstallRecord ReadInstallRecord();

/// True when installing into `targetFolder` keeps the old version: `targetFolder` is the same
/// folder as `existingFolder` (after normalisation; an empty existing folder never is) and
/// "set.ini" there says "IsOverride" = "false" (exactly) in section "Uninstall".
bool KeepsOldVersion(const std::wstring& existingFolder, const std::wstring& targetFolder);

/// After a successful installation: "InstallPath" = `installedFolder`; "UnInstallEp" = the
/// reported entry path (or folder + "/uninst.ep") only when that file exists.
void WriteInstallRecord(const std::wstring& installedFolder, const std::wstring& reportedEntryPath);

/// Writes "set.ini" in `installedFolder`: "APPStore" (the running installer's file name),
/// "AppName", a new "DeviceID", and, when the analytics data folder exists or can be
/// created, "VIVuvadadUzudovezuIni" and the "UpdateTime" stamp in that folder's settings file.
void WriteProductSettings(const std::wstring& installedFolder);

/// $APPDATA, else the common documents folder, joined with "OrvanData/Glyphora".
std::wstring AnalyticsDataFolder();

/// The analytics settings file "VIVuvadadUzudovezu.ini" in AnalyticsDataFolder().
std::wstring AnalyticsSettingsFile();

/// folder + "/" + name, without doubling a trailing "/".
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);

/// Whether two paths name the same folder lexically ("." relative path between them).
bool SameFolder(const std::wstring& a, const std::wstring& b);
