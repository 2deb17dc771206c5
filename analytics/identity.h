// The persisted analytics identity: where the tracker keeps its files, and the identity
// file with its [Base] and [UninstallInfo] sections.
//
// Paths are narrow strings in the system code page and use "/" (the original platform's
// "\" becomes "/" throughout). Identity values are UTF-8.
#pragma once

#include <cstdint>
#include <string>

#include "analytics/system_facts.h"

namespace orvan::analytics {

/// The identity a tracker reports under.
struct TrackerIdentity {
    bool loggedIn = false;          // [Base] "isLogined": "OK" / "NG"
    std::string userId;             // "UserId"
    std::string distinctId;         // "DistinctId"
    std::string primaryDistinctId;  // "PrimaryDistinctId": the anonymous id
    int32_t vipLevel = 0;           // "UserVipLevel"
    std::string url;                // "URL": the server the identity belongs to
};

/// The tracker's files. `dataFolder` always ends with "/".
struct IdentityPaths {
    std::string dataFolder;
    std::string identityFile;
};

/// The override file's name, section and key; the value names an identity file.
inline constexpr char kSetIniName[] = "Set.ini";
inline constexpr wchar_t kSetIniSection[] = L"Install";
inline constexpr wchar_t kSetIniIdentityKey[] = L"VIVuvadadUzudovezuIni";

/// Values of the identity file are read into 128-byte buffers: at most 127 bytes are kept.
constexpr size_t kIdentityValueBytes = 127;

/// "Set.ini" in the running executable's folder; empty when the executable is unknown.
std::string DefaultSetIniPath();

/// The local application data folder (no trailing "/"); empty when unknown.
std::string LocalDataFolder();

/// Resolves the data folder and the identity file and creates the folders (failures are
/// ignored: later file operations then fail on their own). When `setIniPath` names an
/// existing file whose [Install] "VIVuvadadUzudovezuIni" holds a path with a "/", that path
/// is the identity file and its folder the data folder; otherwise the data folder is
/// `localFolder` + "/OVLocal/" + appName + "/" and the identity file
/// data folder + appName + "_OVSConfigure.ini".
IdentityPaths ResolveIdentityPaths(const std::string& setIniPath, const std::string& localFolder,
                                   const std::string& appName);

/// Reads [Base] of `file` into `identity` (everything cleared first; a missing file or key
/// reads empty or 0; "isLogined" counts only as exactly "OK"; an empty "PrimaryDistinctId"
/// takes the distinct id). Without a distinct id a new one is made with `source` and the
/// identity saved at once, so the next run keeps it.
void LoadIdentity(const std::string& file, TrackerIdentity& identity,
                  const GuidSource& source = SystemGuid);

/// When `identity.url` differs from `serverUrl` (byte-wise): logs out, drops the user id,
/// goes back to the primary distinct id (a new one when there is none), adopts `serverUrl`
/// and saves. True when it reset.
bool ResetIdentityForServer(const std::string& file, TrackerIdentity& identity,
                            const std::string& serverUrl, const GuidSource& source = SystemGuid);

/// Writes [Base] "DistinctId", "PrimaryDistinctId", "UserId", "UserVipLevel", "URL",
/// "isLogined", in that order. False when the file cannot be written (or `file` is empty).
bool SaveIdentity(const std::string& file, const TrackerIdentity& identity);

/// Writes [UninstallInfo] "AppStore", "AppName", "AppVersion".
bool SaveUninstallInfo(const std::string& file, const std::string& appStore,
                       const std::string& appName, const std::string& appVersion);

}  // namespace orvan::analytics
