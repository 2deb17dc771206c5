#include "utils/accounts.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>
#include <utmpx.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "tests/utils/temp_dir.h"
#include "utils/text.h"

namespace {

using TestSupport::TempDir;

TEST(Accounts, RootIsAdminAndUnknownUsersAreNot) {
    EXPECT_TRUE(Utils::IsAdminAccount(L"root"));
    EXPECT_FALSE(Utils::IsAdminAccount(L"no-such-user-glyphora"));
    EXPECT_FALSE(Utils::IsAdminAccount(L""));
    EXPECT_EQ(Utils::IsRunAsAdmin(), ::geteuid() == 0);
    if (::geteuid() == 0) {
        EXPECT_TRUE(Utils::IsAdminAccount(L"root"));
    }
    // "nobody" is in none of the administrator groups on a Debian system.
    if (::getpwnam("nobody") != nullptr) {
        EXPECT_FALSE(Utils::IsAdminAccount(L"nobody"));
    }
}

void WriteUtmp(const std::string& path,
               std::initializer_list<std::pair<const char*, const char*>> recs) {
    std::ofstream out(path, std::ios::binary);
    for (auto [line, user] : recs) {
        utmpx u{};
        u.ut_type = USER_PROCESS;
        std::strncpy(u.ut_line, line, sizeof(u.ut_line));
        std::strncpy(u.ut_user, user, sizeof(u.ut_user));
        out.write(reinterpret_cast<const char*>(&u), sizeof(u));
    }
}

TEST(GetConsoleUserName, LogindThenUtmp) {
    TempDir dir;
    std::filesystem::create_directory(dir.File("sessions"));
    dir.Write("sessions/3", "UID=1001\nUSER=remote\nACTIVE=1\nREMOTE=1\nSEAT=seat0\n");
    dir.Write("sessions/4", "UID=1002\nUSER=idle\nACTIVE=0\nSEAT=seat0\nCLASS=user\n");
    dir.Write("sessions/5", "UID=1003\nUSER=greeter\nACTIVE=1\nSEAT=seat0\nCLASS=greeter\n");
    WriteUtmp(dir.File("utmp"), {{"pts/0", "sshuser"}, {"tty1", "consoleuser"}});

    std::wstring name = L"untouched";
    // No qualifying logind session: utmp's local terminal decides.
    ASSERT_TRUE(Utils::GetConsoleUserName(&name, dir.File("sessions"), dir.File("utmp")));
    EXPECT_EQ(name, L"consoleuser");

    dir.Write("sessions/6", "UID=1004\nUSER=alice\nACTIVE=1\nSEAT=seat0\nCLASS=user\nREMOTE=0\n");
    ASSERT_TRUE(Utils::GetConsoleUserName(&name, dir.File("sessions"), dir.File("utmp")));
    EXPECT_EQ(name, L"alice");

    name = L"untouched";
    WriteUtmp(dir.File("utmp2"), {{"pts/1", "sshuser"}});
    EXPECT_FALSE(Utils::GetConsoleUserName(&name, dir.File("none"), dir.File("utmp2")));
    EXPECT_FALSE(Utils::GetConsoleUserName(&name, "", ""));
    EXPECT_EQ(name, L"untouched");
    dir.Write("junk", std::string(1000, '\xff'));
    EXPECT_FALSE(Utils::GetConsoleUserName(&name, dir.File("junk"), dir.File("junk")));
    EXPECT_EQ(name, L"untouched");
}

}  // namespace
