// Folders: the running executable, the installer's temporary folder, directory trees and
// the special folders.
//
// Paths use "/" where the Windows design used "\"; the 260-character limits stay.
#pragma once

#include <string>
#include <string_view>

namespace Utils {

/// The longest path the folder functions accept, in characters (MAX_PATH).
constexpr size_t kMaxPathChars = 260;

/// Full path of the running executable (from /proc/self/exe); empty when unknown.
std::string GetModulePath();

/// The system temporary folder ($TMPDIR, else /tmp) followed by
/// "~OrvanTemp.92482B06FB471E17/", created (mode 0700) when missing. The text ends with
/// "/". Empty when the folder neither exists nor can be created, and also when it exists
/// but is not a real folder owned by this user: the temporary folder is shared by all
/// users, and a folder planted there by someone else must not receive the package.
std::wstring GetTempFolder();

/// Creates every missing folder along `path`: each prefix that ends in "/", from the left,
/// then the whole path when it does not end in "/". Existing folders are skipped; the first
/// creation that fails (including a file in the way) returns false with a trace line. A
/// path longer than 260 characters returns false before anything is created.
bool CreateDirectoryTree(std::wstring_view path);

/// The special folders the installer asks for.
enum class SpecialFolder {
    kProgramFiles,     // /opt for root, else $XDG_DATA_HOME
    kProgramFilesX86,  // the same
    kLocalAppData,     // $XDG_DATA_HOME (default ~/.local/share)
    kRoamingAppData,   // the same
    kCommonDocuments,  // the same
};

/// The folder without a trailing "/"; empty when it cannot be determined (no HOME).
std::wstring GetSpecialFolder(SpecialFolder folder);

}  // namespace Utils
