#include "utils/folders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "utils/text.h"
#include "utils/trace_log.h"

namespace Utils {
namespace {

constexpr char kTempFolderName[] = "~OrvanTemp.92482B06FB471E17";

// Creates one folder; an existing folder counts as success, anything else in the way does
// not.
bool MakeOneFolder(const std::string& path, mode_t mode) {
    if (::mkdir(path.c_str(), mode) == 0)
        return true;
    int err = errno;
    struct stat st {};
    if (err == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return true;
    TRACE(L"CreateDirectory %s failed errno=%d\r\n", path.c_str(), err);
    return false;
}

std::string DataHome() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg != nullptr && xdg[0] == '/')
        return xdg;
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0')
        return {};
    return std::string(home) + "/.local/share";
}

}  // namespace

std::string GetModulePath() {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof(buf) - 1);
    if (n <= 0)
        return {};
    return std::string(buf, static_cast<size_t>(n));
}

std::wstring GetTempFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string base = (tmp != nullptr && tmp[0] != '\0') ? tmp : "/tmp";
    if (base.back() != '/')
        base.push_back('/');
    std::string folder = base + kTempFolderName;
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        TRACE(L"cannot create %s errno=%d\r\n", folder.c_str(), errno);
        return {};
    }
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) {
        TRACE(L"%s is not a folder of this user\r\n", folder.c_str());
        return {};
    }
    return ToWide(folder + "/", kCodePageSystem);
}

bool CreateDirectoryTree(std::wstring_view path) {
    if (path.size() > kMaxPathChars || path.empty())
        return false;
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] != L'/' || i == 0)
            continue;  // the root always exists
        if (path[i - 1] == L'/')
            continue;  // "a//b": the prefix "a/" was done
        if (!MakeOneFolder(ToNarrow(path.substr(0, i + 1), kCodePageSystem), 0777))
            return false;
    }
    if (path.back() != L'/')
        return MakeOneFolder(ToNarrow(path, kCodePageSystem), 0777);
    return true;
}

std::wstring GetSpecialFolder(SpecialFolder folder) {
    std::string path;
    switch (folder) {
        case SpecialFolder::kProgramFiles:
        case SpecialFolder::kProgramFilesX86:
            path = ::geteuid() == 0 ? "/opt" : DataHome();
            break;
        case SpecialFolder::kLocalAppData:
        case SpecialFolder::kRoamingAppData:
        case SpecialFolder::kCommonDocuments:
            path = DataHome();
            break;
    }
    return ToWide(path, kCodePageSystem);
}

}  // namespace Utils
