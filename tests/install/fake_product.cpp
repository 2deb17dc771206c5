// The scripted stand-in for the product's package, its uninstaller and the product itself.
//
// One program, three roles, chosen by how it is started:
// - uninstaller: an argument starts with "_?=" (the folder to remove is that argument's
//   rest, plus any later arguments joined by blanks, as the real uninstaller reads the rest
//   of its command line);
// - product: the program file is named "Glyphora.exe";
// - package: anything else (the folder comes from "/D=" the same way, else "-instdir=").
//
// The package and the uninstaller follow a script: the file named by the environment
// variable GLYPHORA_FAKE_PACKAGE_SCRIPT or GLYPHORA_FAKE_UNINSTALL_SCRIPT, else the
// default script of the role (a real-looking installation or removal). Script lines:
//   print TEXT      TEXT and a line feed on standard output
//   write TEXT      TEXT alone (no line feed); one write(2) call
//   sleep MS        pause
//   stderr MB       MB megabytes on standard error
//   install         create the folder, "Glyphora.exe" and "uninst.ep" (copies of this
//                   program), print InstPath=, ExePath=, UninstEp= and StartupStyle=
//   remove          delete the folder (only one that holds "uninst.ep" or "Glyphora.exe")
//   orphan MS       leave a grandchild that keeps standard output open for MS ms
//   exit CODE       end with CODE
// TEXT understands \n \r \t \\ and \xHH, so GBK bytes and split lines can be scripted.
// Lines starting with "#" and empty lines are skipped. Without an "exit" line the program
// ends with 0.
//
// When GLYPHORA_FAKE_ARGS_LOG names a file, every run appends its role, its arguments (one
// per line) and a line "--" to it.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Real packages are tens of megabytes and the downloaders refuse a package under 1 MiB, so
// the program file carries this much data of its own (initialised, so it is stored).
__attribute__((used)) const unsigned char kPackageBulk[1200000] = {1};

void WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        done += static_cast<size_t>(n);
    }
}

std::string Unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out.push_back(text[i]);
            continue;
        }
        char c = text[++i];
        if (c == 'n')
            out.push_back('\n');
        else if (c == 'r')
            out.push_back('\r');
        else if (c == 't')
            out.push_back('\t');
        else if (c == 'x' && i + 2 < text.size() &&
                 std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
                 std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out.push_back(static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else
            out.push_back(c);
    }
    return out;
}

// The value of a switch written as PREFIX + value, with the later arguments joined to it.
std::string RestOfLine(const std::vector<std::string>& args, const std::string& prefix) {
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i].rfind(prefix, 0) == 0) {
            std::string value = args[i].substr(prefix.size());
            for (size_t k = i + 1; k < args.size(); ++k)
                value += " " + args[k];
            return value;
        }
    }
    return {};
}

std::string SwitchValue(const std::vector<std::string>& args, const std::string& prefix) {
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i].rfind(prefix, 0) == 0)
            return args[i].substr(prefix.size());
    }
    return {};
}

bool CopySelf(const fs::path& target) {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return false;
    fs::path temp = target;
    temp += ".tmp";
    fs::copy_file(self, temp, fs::copy_options::overwrite_existing, ec);
    if (ec)
        return false;
    fs::permissions(temp,
                    fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                        fs::perms::others_read | fs::perms::others_exec,
                    ec);
    fs::rename(temp, target, ec);
    return !ec;
}

struct Role {
    enum Kind { kPackage, kUninstaller, kProduct } kind = kPackage;
    std::string folder;
};

std::string DefaultScript(Role::Kind kind) {
    if (kind == Role::kUninstaller) {
        return "print Progress=0.3\nsleep 20\nremove\nprint Progress=1\nprint State=Success\n";
    }
    return "print Encode=UTF8\nprint Progress=0.1\nsleep 60\nprint Progress=0.3\nsleep 60\n"
           "install\nprint Progress=0.6\nsleep 60\nprint Progress=0.9\nsleep 60\n"
           "print State=Success\n";
}

int RunScript(const std::string& script, const Role& role) {
    std::istringstream lines(script);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        size_t blank = line.find(' ');
        std::string command = line.substr(0, blank);
        std::string argument = blank == std::string::npos ? "" : line.substr(blank + 1);
        if (command == "print") {
            WriteAll(1, Unescape(argument) + "\n");
        } else if (command == "write") {
            WriteAll(1, Unescape(argument));
        } else if (command == "sleep") {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argument.c_str())));
        } else if (command == "stderr") {
            std::string block(1 << 20, 'e');
            for (int i = 0; i < std::atoi(argument.c_str()); ++i)
                WriteAll(2, block);
        } else if (command == "install") {
            if (role.folder.empty()) {
                WriteAll(1, "Error=no installation folder\n");
                return 3;
            }
            fs::path folder(role.folder);
            std::error_code ec;
            fs::create_directories(folder, ec);
            if (!CopySelf(folder / "Glyphora.exe") || !CopySelf(folder / "uninst.ep")) {
                WriteAll(1, "Error=cannot write into " + role.folder + "\n");
                return 3;
            }
            WriteAll(1, "InstPath=" + folder.string() + "\n");
            WriteAll(1, "ExePath=" + (folder / "Glyphora.exe").string() + "\n");
            WriteAll(1, "UninstEp=" + (folder / "uninst.ep").string() + "\n");
            WriteAll(1, "StartupStyle=UserStartup\n");
        } else if (command == "remove") {
            fs::path folder(role.folder);
            std::error_code ec;
            if (!role.folder.empty() &&
                (fs::exists(folder / "uninst.ep", ec) || fs::exists(folder / "Glyphora.exe", ec))) {
                fs::remove_all(folder, ec);
            }
        } else if (command == "orphan") {
            int ms = std::atoi(argument.c_str());
            pid_t pid = ::fork();
            if (pid == 0) {
                // The grandchild keeps the inherited standard output open for a while.
                std::this_thread::sleep_for(std::chrono::milliseconds(ms));
                ::_exit(0);
            }
        } else if (command == "exit") {
            return std::atoi(argument.c_str());
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv, argv + argc);
    Role role;
    std::string uninstallFolder = RestOfLine(args, "_?=");
    bool isUninstaller = false;
    for (size_t i = 1; i < args.size(); ++i)
        isUninstaller |= args[i].rfind("_?=", 0) == 0;
    if (isUninstaller) {
        role.kind = Role::kUninstaller;
        role.folder = uninstallFolder;
    } else if (fs::path(args[0]).filename() == "Glyphora.exe") {
        role.kind = Role::kProduct;
    } else {
        role.folder = RestOfLine(args, "/D=");
        if (role.folder.empty())
            role.folder = SwitchValue(args, "-instdir=");
    }

    if (const char* log = std::getenv("GLYPHORA_FAKE_ARGS_LOG"); log && *log) {
        std::string record = role.kind == Role::kUninstaller ? "uninstaller\n"
                             : role.kind == Role::kProduct   ? "product\n"
                                                             : "package\n";
        for (const std::string& arg : args)
            record += arg + "\n";
        record += "--\n";
        int fd = ::open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd >= 0) {
            WriteAll(fd, record);
            ::close(fd);
        }
    }
    if (role.kind == Role::kProduct)
        return 0;

    const char* variable = role.kind == Role::kUninstaller ? "GLYPHORA_FAKE_UNINSTALL_SCRIPT"
                                                           : "GLYPHORA_FAKE_PACKAGE_SCRIPT";
    std::string script = DefaultScript(role.kind);
    if (const char* path = std::getenv(variable); path && *path) {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "cannot read script %s\n", path);
            return 4;
        }
        std::ostringstream text;
        text << in.rdbuf();
        script = text.str();
    }
    return RunScript(script, role);
}
