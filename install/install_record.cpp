#include "install/install_record.h"

#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "utils/folders.h"
#include "utils/guid.h"
#include "utils/profile.h"
#include "utils/registry.h"
#include "utils/text.h"
#include "utils/trace_log.h"

namespace {

constexpr wchar_t kInstallPathValue[] = L"InstallPath";
constexpr wchar_t kUninstallEpValue[] = L"UnInstallEp";
constexpr size_t kIsOverrideChars = 20;  // at most 19 characters are read

std::string Narrow(const std::wstring& text) {
    return Utils::ToNarrow(text, Utils::kCodePageSystem);
}

bool FileExists(const std::wstring& path) {
    std::string narrow = Narrow(path);
    return !narrow.empty() && ::access(narrow.c_str(), F_OK) == 0;
}

std::wstring Normalised(const std::wstring& path) {
    std::wstring text = std::filesystem::path(path).lexically_normal().wstring();
    while (text.size() > 1 && text.back() == L'/')
        text.pop_back();
    return text;
}

}  // namespace

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
    if (!folder.empty() && folder.back() == L'/')
        return folder + name;
    return folder + L"/" + name;
}

bool SameFolder(const std::wstring& a, const std::wstring& b) {
    if (a.empty() || b.empty())
        return false;
    return Normalised(a) == Normalised(b);
}

InstallRecord ReadInstallRecord() {
    InstallRecord record;
    uint32_t type = 0;
    if (!Utils::ReadRegString(kInstallPathValue, &type, &record.folder))
        record.folder.clear();
    if (!Utils::ReadRegString(kUninstallEpValue, &type, &record.uninstallerPath)) {
        record.uninstallerPath.clear();
    }
    if (record.uninstallerPath.empty() && !record.folder.empty()) {
        record.uninstallerPath = JoinPath(record.folder, kUninstallEntryName);
    }
    return record;
}

bool KeepsOldVersion(const std::wstring& existingFolder, const std::wstring& targetFolder) {
    if (!SameFolder(existingFolder, targetFolder))
        return false;
    std::wstring value =
        Utils::ReadProfileString(Narrow(JoinPath(targetFolder, L"set.ini")), L"Uninstall",
                                 L"IsOverride", L"true", kIsOverrideChars);
    return value == L"false";
}

void WriteInstallRecord(const std::wstring& installedFolder,
                        const std::wstring& reportedEntryPath) {
    if (!Utils::WriteRegString(kInstallPathValue, installedFolder)) {
        TRACE(L"InstallPath not written: %ls\r\n", installedFolder.c_str());
    }
    std::wstring entry = reportedEntryPath.empty() ? JoinPath(installedFolder, kUninstallEntryName)
                                                   : reportedEntryPath;
    if (FileExists(entry)) {
        if (!Utils::WriteRegString(kUninstallEpValue, entry)) {
            TRACE(L"UnInstallEp not written: %ls\r\n", entry.c_str());
        }
    } else {
        TRACE(L"no uninstaller entry at %ls; UnInstallEp kept\r\n", entry.c_str());
    }
}

std::wstring AnalyticsDataFolder() {
    std::wstring base;
    if (const char* appData = std::getenv("APPDATA")) {
        base = Utils::ToWide(appData, Utils::kCodePageSystem);
    } else {
        base = Utils::GetSpecialFolder(Utils::SpecialFolder::kCommonDocuments);
    }
    if (base.empty())
        return {};
    return JoinPath(JoinPath(base, L"OrvanData"), L"Glyphora");
}

std::wstring AnalyticsSettingsFile() {
    std::wstring folder = AnalyticsDataFolder();
    return folder.empty() ? std::wstring() : JoinPath(folder, L"VIVuvadadUzudovezu.ini");
}

void WriteProductSettings(const std::wstring& installedFolder) {
    const std::string settings = Narrow(JoinPath(installedFolder, L"set.ini"));
    std::wstring installer =
        std::filesystem::path(Utils::ToWide(Utils::GetModulePath(), Utils::kCodePageSystem))
            .filename()
            .wstring();
    bool ok = Utils::WriteProfileString(settings, L"Install", L"APPStore", installer);
    ok &= Utils::WriteProfileString(settings, L"Install", L"AppName", L"Glyphora");
    ok &= Utils::WriteProfileString(settings, L"Install", L"DeviceID", Utils::NewGuidText());
    std::wstring dataFolder = AnalyticsDataFolder();
    if (!dataFolder.empty() && Utils::CreateDirectoryTree(dataFolder)) {
        std::wstring analyticsFile = AnalyticsSettingsFile();
        ok &= Utils::WriteProfileString(settings, L"Install", L"VIVuvadadUzudovezuIni",
                                        analyticsFile);
        std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        wchar_t stamp[64];
        std::swprintf(stamp, 64, L"%d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900,
                      local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
        ok &= Utils::WriteProfileString(Narrow(analyticsFile), L"Init", L"UpdateTime", stamp);
    } else {
        TRACE(L"analytics data folder unavailable: %ls\r\n", dataFolder.c_str());
    }
    if (!ok)
        TRACE(L"some settings of %ls were not written\r\n", installedFolder.c_str());
}
