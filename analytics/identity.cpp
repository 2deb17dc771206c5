#include "analytics/identity.h"

#include <sys/stat.h>

#include "utils/folders.h"
#include "utils/profile.h"
#include "utils/text.h"
#include "utils/trace_log.h"

namespace orvan::analytics {
namespace {

constexpr wchar_t kBase[] = L"Base";
constexpr wchar_t kUninstallInfo[] = L"UninstallInfo";
constexpr char kOk[] = "OK";
constexpr char kNotOk[] = "NG";

std::wstring Wide(const std::string& utf8) {
    return Utils::ToWide(utf8, Utils::kCodePageUtf8);
}
std::string Utf8(const std::wstring& text) {
    return Utils::ToNarrow(text, Utils::kCodePageUtf8);
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// A 128-byte buffer keeps 127 bytes; the cut never splits a UTF-8 sequence.
std::string ReadValue(const std::string& file, const wchar_t* key) {
    std::string value =
        Utf8(Utils::ReadProfileString(file, kBase, key, L"", kIdentityValueBytes + 1));
    if (value.size() > kIdentityValueBytes) {
        size_t cut = kIdentityValueBytes;
        while (cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80)
            --cut;
        value.resize(cut);
    }
    return value;
}

bool CreateTree(const std::string& folder) {
    return Utils::CreateDirectoryTree(Utils::ToWide(folder, Utils::kCodePageSystem));
}

}  // namespace

std::string DefaultSetIniPath() {
    std::string module = Utils::GetModulePath();
    if (module.empty())
        return {};
    size_t slash = module.rfind('/');
    return module.substr(0, slash + 1) + kSetIniName;
}

std::string LocalDataFolder() {
    return Utils::ToNarrow(Utils::GetSpecialFolder(Utils::SpecialFolder::kLocalAppData),
                           Utils::kCodePageSystem);
}

IdentityPaths ResolveIdentityPaths(const std::string& setIniPath, const std::string& localFolder,
                                   const std::string& appName) {
    IdentityPaths paths;
    if (FileExists(setIniPath)) {
        paths.identityFile = Utils::ToNarrow(
            Utils::ReadProfileString(setIniPath, kSetIniSection, kSetIniIdentityKey, L""),
            Utils::kCodePageSystem);
        for (char& c : paths.identityFile) {
            if (c == '\\')
                c = '/';
        }
    }
    size_t slash = paths.identityFile.rfind('/');
    if (paths.identityFile.empty() || slash == std::string::npos) {
        std::string local = localFolder;
        while (!local.empty() && local.back() == '/')
            local.pop_back();
        std::string ovLocal = local + "/OVLocal/";
        if (!CreateTree(ovLocal))
            TRACE(L"analytics: cannot create %s\r\n", ovLocal.c_str());
        paths.dataFolder = ovLocal + appName + "/";
        if (!CreateTree(paths.dataFolder)) {
            TRACE(L"analytics: cannot create %s\r\n", paths.dataFolder.c_str());
        }
        paths.identityFile = paths.dataFolder + appName + "_OVSConfigure.ini";
        return paths;
    }
    // The folder of the named file; kept with its separator so that file names join to it.
    paths.dataFolder = paths.identityFile.substr(0, slash + 1);
    if (slash > 0 && !CreateTree(paths.dataFolder)) {
        TRACE(L"analytics: cannot create %s\r\n", paths.dataFolder.c_str());
    }
    return paths;
}

void LoadIdentity(const std::string& file, TrackerIdentity& identity, const GuidSource& source) {
    identity = TrackerIdentity();
    if (FileExists(file)) {
        identity.distinctId = ReadValue(file, L"DistinctId");
        identity.primaryDistinctId = ReadValue(file, L"PrimaryDistinctId");
        if (identity.primaryDistinctId.empty())
            identity.primaryDistinctId = identity.distinctId;
        identity.userId = ReadValue(file, L"UserId");
        identity.vipLevel = Utils::ReadProfileInt(file, kBase, L"UserVipLevel", 0);
        identity.loggedIn = ReadValue(file, L"isLogined") == kOk;
        identity.url = ReadValue(file, L"URL");
    }
    if (identity.distinctId.empty()) {
        identity.distinctId = NewDistinctId(source);
        if (identity.primaryDistinctId.empty())
            identity.primaryDistinctId = identity.distinctId;
        SaveIdentity(file, identity);
    }
}

bool ResetIdentityForServer(const std::string& file, TrackerIdentity& identity,
                            const std::string& serverUrl, const GuidSource& source) {
    if (identity.url == serverUrl)
        return false;
    identity.userId.clear();
    identity.loggedIn = false;
    if (identity.primaryDistinctId.empty()) {
        identity.distinctId = NewDistinctId(source);
        identity.primaryDistinctId = identity.distinctId;
    } else {
        identity.distinctId = identity.primaryDistinctId;
    }
    identity.url = serverUrl;
    SaveIdentity(file, identity);
    return true;
}

bool SaveIdentity(const std::string& file, const TrackerIdentity& identity) {
    if (file.empty())
        return false;
    bool ok = Utils::WriteProfileString(file, kBase, L"DistinctId", Wide(identity.distinctId));
    ok &= Utils::WriteProfileString(file, kBase, L"PrimaryDistinctId",
                                    Wide(identity.primaryDistinctId));
    ok &= Utils::WriteProfileString(file, kBase, L"UserId", Wide(identity.userId));
    ok &=
        Utils::WriteProfileString(file, kBase, L"UserVipLevel", std::to_wstring(identity.vipLevel));
    ok &= Utils::WriteProfileString(file, kBase, L"URL", Wide(identity.url));
    ok &= Utils::WriteProfileString(file, kBase, L"isLogined",
                                    Wide(identity.loggedIn ? kOk : kNotOk));
    return ok;
}

bool SaveUninstallInfo(const std::string& file, const std::string& appStore,
                       const std::string& appName, const std::string& appVersion) {
    if (file.empty())
        return false;
    bool ok = Utils::WriteProfileString(file, kUninstallInfo, L"AppStore", Wide(appStore));
    ok &= Utils::WriteProfileString(file, kUninstallInfo, L"AppName", Wide(appName));
    ok &= Utils::WriteProfileString(file, kUninstallInfo, L"AppVersion", Wide(appVersion));
    return ok;
}

}  // namespace orvan::analytics
