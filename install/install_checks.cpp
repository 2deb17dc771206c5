#include "install/install_checks.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "install/install_record.h"
#include "install/uninstall_runner.h"
#include "utils/accounts.h"
#include "utils/disk_space.h"
#include "utils/folders.h"
#include "utils/network.h"
#include "utils/text.h"
#include "utils/trace_log.h"

namespace {

constexpr size_t kMaxAppDataChars = 260;

std::string Narrow(std::wstring_view text) {
    return Utils::ToNarrow(text, Utils::kCodePageSystem);
}

std::string BaseName(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// argv of a process from /proc/<pid>/cmdline (empty when unreadable).
std::vector<std::string> ProcessArgs(const std::string& pidDir) {
    std::ifstream in(pidDir + "/cmdline", std::ios::binary);
    std::vector<std::string> args;
    std::string arg;
    char c;
    while (in.get(c)) {
        if (c == '\0') {
            args.push_back(arg);
            arg.clear();
        } else {
            arg.push_back(c);
        }
    }
    if (!arg.empty())
        args.push_back(arg);
    return args;
}

bool StartsWithShebang(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char head[2] = {0, 0};
    return in.read(head, 2) && head[0] == '#' && head[1] == '!';
}

// Forks twice so the started program belongs to no one (never a zombie of the installer)
// and runs in its own session. Only async-signal-safe calls happen after the fork.
bool SpawnDetached(const std::vector<std::string>& argv) {
    if (argv.empty() || argv[0].empty())
        return false;
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    int status[2];
    if (::pipe2(status, O_CLOEXEC) != 0)
        return false;
    pid_t child = ::fork();
    if (child < 0) {
        ::close(status[0]);
        ::close(status[1]);
        return false;
    }
    if (child == 0) {
        ::setsid();
        pid_t grandchild = ::fork();
        if (grandchild != 0)
            ::_exit(grandchild < 0 ? 1 : 0);
        int null = ::open("/dev/null", O_RDWR);
        if (null >= 0) {
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::dup2(null, 2);
        }
        ::execvp(args[0], args.data());
        int error = errno;
        ssize_t ignored = ::write(status[1], &error, sizeof error);
        (void)ignored;
        ::_exit(127);
    }
    ::close(status[1]);
    int waitStatus = 0;
    while (::waitpid(child, &waitStatus, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t got;
    do {
        got = ::read(status[0], &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    ::close(status[0]);
    bool started = WIFEXITED(waitStatus) && WEXITSTATUS(waitStatus) == 0 && got == 0;
    if (!started)
        TRACE(L"could not start %s: errno=%d\r\n", argv[0].c_str(), error);
    return started;
}

}  // namespace

pid_t FindProcessByName(std::wstring_view name) {
    std::string wanted = Narrow(name);
    if (wanted.empty())
        return 0;
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return 0;
    pid_t found = 0;
    while (dirent* entry = ::readdir(proc)) {
        char* end = nullptr;
        long pid = std::strtol(entry->d_name, &end, 10);
        if (pid <= 0 || *end != '\0')
            continue;
        std::string dir = std::string("/proc/") + entry->d_name;
        char target[4096];
        ssize_t length = ::readlink((dir + "/exe").c_str(), target, sizeof target - 1);
        std::string exe;
        if (length > 0) {
            exe.assign(target, static_cast<size_t>(length));
            const std::string deleted = " (deleted)";
            if (exe.size() > deleted.size() &&
                exe.compare(exe.size() - deleted.size(), deleted.size(), deleted) == 0) {
                exe.resize(exe.size() - deleted.size());
            }
        }
        std::vector<std::string> args = ProcessArgs(dir);
        bool match = (!exe.empty() && BaseName(exe) == wanted) ||
                     (!args.empty() && BaseName(args[0]) == wanted);
        if (!match && args.size() > 1 && BaseName(args[1]) == wanted &&
            StartsWithShebang(args[1])) {
            match = true;  // a script started through its interpreter
        }
        if (match) {
            found = static_cast<pid_t>(pid);
            break;
        }
    }
    ::closedir(proc);
    return found;
}

FolderFacts CurrentFolderFacts(const std::wstring& existingInstallDir,
                               const std::wstring& existingUninstallerPath) {
    FolderFacts facts;
    facts.existingInstallDir = existingInstallDir;
    facts.existingUninstallerPath = existingUninstallerPath;
    std::string uninstaller = Narrow(existingUninstallerPath);
    facts.existingUninstallerExists =
        !uninstaller.empty() && ::access(uninstaller.c_str(), F_OK) == 0;
    std::wstring consoleUser;
    if (!Utils::GetConsoleUserName(&consoleUser))
        consoleUser.clear();
    facts.consoleUserIsAdmin = Utils::IsAdminAccount(consoleUser);
    facts.processIsAdmin = Utils::IsRunAsAdmin();
    if (const char* appData = std::getenv("APPDATA")) {
        std::wstring value = Utils::ToWide(appData, Utils::kCodePageSystem);
        if (value.size() <= kMaxAppDataChars)
            facts.appData = value;
    }
    facts.programFilesX86 = Utils::GetSpecialFolder(Utils::SpecialFolder::kProgramFilesX86);
    facts.programFiles = Utils::GetSpecialFolder(Utils::SpecialFolder::kProgramFiles);
    return facts;
}

std::wstring DefaultInstallFolder(const FolderFacts& facts) {
    if (!facts.existingInstallDir.empty() && facts.existingUninstallerExists) {
        return facts.existingInstallDir;
    }
    if (facts.consoleUserIsAdmin && facts.processIsAdmin && facts.appData) {
        return JoinPath(JoinPath(*facts.appData, L"brisko"), L"Glyphora");
    }
    const std::wstring& base =
        facts.programFilesX86.empty() ? facts.programFiles : facts.programFilesX86;
    return JoinPath(base, L"Glyphora");
}

std::wstring ChosenInstallFolder(const std::wstring& defaultFolder, const std::wstring& edited) {
    if (SameFolder(defaultFolder, edited))
        return defaultFolder;
    return JoinPath(edited, L"Glyphora");
}

InstallRefusal CheckBeforeInstall(const std::wstring& folder, bool checkNetwork,
                                  const CheckProbes& probes) {
    auto find = probes.findProcess ? probes.findProcess : FindProcessByName;
    if (find(kUninstallerCopyName) != 0)
        return InstallRefusal::kUninstallerRunning;
    if (find(kProductExeName) != 0)
        return InstallRefusal::kProductRunning;

    bool created =
        probes.createFolder ? probes.createFolder(folder) : Utils::CreateDirectoryTree(folder);
    if (!created) {
        TRACE(L"folder refused: %ls\r\n", folder.c_str());
        return InstallRefusal::kInvalidFolder;
    }
    uint64_t freeBytes = 0;
    if (probes.freeBytes) {
        if (!probes.freeBytes(folder, &freeBytes))
            freeBytes = 0;
    } else {
        Utils::HardDiskManager disk;
        if (disk.CheckFreeSpace(folder))
            freeBytes = disk.FreeBytesForUser();
    }
    double gib = static_cast<double>(freeBytes) / static_cast<double>(Utils::kBytesPerGiB);
    if (gib < 1.0) {
        TRACE(L"free space %.3f GiB below 1 GiB: %ls\r\n", gib, folder.c_str());
        return InstallRefusal::kLowDiskSpace;
    }
    if (checkNetwork) {
        uint32_t result = probes.checkNetwork ? probes.checkNetwork() : Utils::CheckNetwork();
        if ((result >> 16) != 0)
            return InstallRefusal::kPoorNetwork;
    }
    return InstallRefusal::kNone;
}

const char* RefusalName(InstallRefusal refusal) {
    switch (refusal) {
        case InstallRefusal::kNone:
            return "none";
        case InstallRefusal::kUninstallerRunning:
            return "the old version's uninstaller is running";
        case InstallRefusal::kProductRunning:
            return "the product is running";
        case InstallRefusal::kInvalidFolder:
            return "invalid folder";
        case InstallRefusal::kLowDiskSpace:
            return "less than 1 GiB free";
        case InstallRefusal::kPoorNetwork:
            return "poor network";
    }
    return "unknown";
}

bool OpenWithDesktop(const std::wstring& target) {
    return SpawnDetached({"xdg-open", Narrow(target)});
}

bool StartDetached(const std::wstring& program) {
    return SpawnDetached({Narrow(program)});
}

bool LaunchProduct(const std::wstring& startUrl, const std::wstring& exePath,
                   const LaunchActions& actions) {
    if (startUrl.size() > 5) {
        if (actions.openUrl)
            actions.openUrl(startUrl);
        else
            OpenWithDesktop(startUrl);
    }
    std::string exe = Narrow(exePath);
    if (exe.empty() || ::access(exe.c_str(), F_OK) != 0)
        return false;
    if (actions.pumpMessages)
        actions.pumpMessages();
    return actions.startProgram ? actions.startProgram(exePath) : StartDetached(exePath);
}
