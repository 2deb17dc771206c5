#include "utils/accounts.h"

#include <dirent.h>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>
#include <utmpx.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "utils/text.h"

namespace Utils {
namespace {

constexpr const char* kAdminGroups[] = {"sudo", "wheel", "admin"};

std::string UserNameOfUid(uid_t uid) {
    std::vector<char> buf(16384);
    passwd pw{};
    passwd* result = nullptr;
    if (::getpwuid_r(uid, &pw, buf.data(), buf.size(), &result) != 0 || result == nullptr) {
        return {};
    }
    return pw.pw_name;
}

// KEY=VALUE lines of one logind session file.
std::map<std::string, std::string> ReadKeyValues(const std::string& path) {
    std::map<std::string, std::string> out;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        size_t eq = line.find('=');
        if (eq != std::string::npos)
            out[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return out;
}

bool FromLogind(const std::string& dir, std::string* user) {
    std::unique_ptr<DIR, int (*)(DIR*)> d(::opendir(dir.c_str()), &::closedir);
    if (!d)
        return false;
    std::vector<std::string> names;
    while (dirent* e = ::readdir(d.get())) {
        if (e->d_name[0] != '.')
            names.push_back(e->d_name);
    }
    std::sort(names.begin(), names.end());  // a stable answer when several qualify
    for (const std::string& name : names) {
        auto kv = ReadKeyValues(dir + "/" + name);
        if (kv["ACTIVE"] != "1" || kv["SEAT"] != "seat0" || kv["REMOTE"] == "1")
            continue;
        if (!kv["CLASS"].empty() && kv["CLASS"] != "user")
            continue;  // not the greeter
        std::string u = kv["USER"];
        if (u.empty() && !kv["UID"].empty()) {
            u = UserNameOfUid(static_cast<uid_t>(std::strtoul(kv["UID"].c_str(), nullptr, 10)));
        }
        if (!u.empty()) {
            *user = u;
            return true;
        }
    }
    return false;
}

bool FromUtmp(const std::string& path, std::string* user) {
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!f)
        return false;
    utmpx rec{};
    while (std::fread(&rec, sizeof(rec), 1, f.get()) == 1) {
        if (rec.ut_type != USER_PROCESS)
            continue;
        std::string line(rec.ut_line, strnlen(rec.ut_line, sizeof(rec.ut_line)));
        // A text console ("tty1") or a local display (":0"); pseudo-terminals may be remote.
        if (line.rfind("tty", 0) != 0 && line.rfind(":", 0) != 0)
            continue;
        std::string u(rec.ut_user, strnlen(rec.ut_user, sizeof(rec.ut_user)));
        if (!u.empty()) {
            *user = u;
            return true;
        }
    }
    return false;
}

}  // namespace

bool IsRunAsAdmin() {
    return ::geteuid() == 0;
}

bool IsAdminAccount(std::wstring_view userName) {
    std::string name = ToNarrow(userName, kCodePageSystem);
    if (name.empty())
        return false;
    std::vector<char> buf(16384);
    passwd pw{};
    passwd* result = nullptr;
    if (::getpwnam_r(name.c_str(), &pw, buf.data(), buf.size(), &result) != 0 ||
        result == nullptr) {
        return false;
    }
    if (pw.pw_uid == 0)
        return true;
    int count = 64;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    if (::getgrouplist(name.c_str(), pw.pw_gid, groups.data(), &count) < 0) {
        groups.resize(static_cast<size_t>(count));
        if (::getgrouplist(name.c_str(), pw.pw_gid, groups.data(), &count) < 0)
            return false;
    }
    groups.resize(static_cast<size_t>(count));
    for (gid_t gid : groups) {
        std::vector<char> gbuf(16384);
        group gr{};
        group* gres = nullptr;
        if (::getgrgid_r(gid, &gr, gbuf.data(), gbuf.size(), &gres) != 0 || gres == nullptr) {
            continue;
        }
        for (const char* admin : kAdminGroups) {
            if (std::strcmp(gr.gr_name, admin) == 0)
                return true;
        }
    }
    return false;
}

bool GetConsoleUserName(std::wstring* userName, const std::string& sessionsDir,
                        const std::string& utmpPath) {
    std::string user;
    if ((!sessionsDir.empty() && FromLogind(sessionsDir, &user)) ||
        (!utmpPath.empty() && FromUtmp(utmpPath, &user))) {
        *userName = ToWide(user, kCodePageSystem);
        return true;
    }
    return false;
}

bool GetConsoleUserName(std::wstring* userName) {
    return GetConsoleUserName(userName, "/run/systemd/sessions", _PATH_UTMPX);
}

}  // namespace Utils
