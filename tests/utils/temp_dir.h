// A private temporary folder for one test, removed with everything in it at the end.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace TestSupport {

class TempDir {
public:
    TempDir() {
        const char* base = std::getenv("TMPDIR");
        std::string templ =
            std::string(base != nullptr && *base ? base : "/tmp") + "/glyphora-test-XXXXXX";
        if (::mkdtemp(templ.data()) != nullptr)
            path_ = templ;
    }
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

    /// Writes `bytes` to `name` inside the folder and returns the full path.
    std::string Write(const std::string& name, const std::string& bytes) const {
        std::string p = File(name);
        std::ofstream(p, std::ios::binary) << bytes;
        return p;
    }

private:
    std::string path_;
};

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// Sets an environment variable for the life of the object, then restores it.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        const char* old = std::getenv(name);
        if (old != nullptr) {
            had_ = true;
            old_ = old;
        }
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (had_) {
            ::setenv(name_.c_str(), old_.c_str(), 1);
        } else {
            ::unsetenv(name_.c_str());
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::string old_;
    bool had_ = false;
};

}  // namespace TestSupport
