// Rights and users.
#pragma once

#include <string>
#include <string_view>

namespace Utils {

/// True when this process runs with full rights (effective uid 0), the counterpart of an
/// elevated process.
bool IsRunAsAdmin();

/// True when the local account `userName` is an administrator: uid 0, or a member of the
/// group "sudo", "wheel" or "admin". False when the account does not exist.
bool IsAdminAccount(std::wstring_view userName);

/// The user of the active local session: the logind session on seat0 that is active
/// (from /run/systemd/sessions), else the first user logged in on a local terminal in
/// utmp. False, and `*userName` untouched, when there is none.
bool GetConsoleUserName(std::wstring* userName);

/// The same, reading the given session folder and utmp file (tests point them at
/// fixtures); an empty path skips that source.
bool GetConsoleUserName(std::wstring* userName, const std::string& sessionsDir,
                        const std::string& utmpPath);

}  // namespace Utils
