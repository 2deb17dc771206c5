// The single-instance mutex: "D1A547DB89C0BC61_" + a base name, held by one process at a
// time.
//
// On this OS it is an flock()ed lock file of that name in $XDG_RUNTIME_DIR (else the
// temporary folder, $TMPDIR or /tmp). The lock belongs to the open file, so it is released
// when the holder releases it or exits in any way, crashes included; the file itself stays.
#pragma once

#include <string>

namespace Utils {

inline constexpr wchar_t kInstanceMutexPrefix[] = L"D1A547DB89C0BC61_";

class InstanceMutex {
public:
    explicit InstanceMutex(std::wstring baseName) : baseName_(std::move(baseName)) {}
    ~InstanceMutex() { Release(); }
    InstanceMutex(const InstanceMutex&) = delete;
    InstanceMutex& operator=(const InstanceMutex&) = delete;

    /// Takes the mutex when it is not held yet. Afterwards Held() is true exactly when this
    /// process is the only holder; false when another process holds it or the lock file
    /// cannot be created (a trace line says which).
    void Acquire();
    bool Held() const { return fd_ >= 0; }
    /// Releases the mutex (a no-op when not held).
    void Release();

    /// The full mutex name: the prefix followed by the base name.
    std::wstring Name() const { return kInstanceMutexPrefix + baseName_; }
    /// The lock file that stands in for the mutex.
    std::string LockFilePath() const;

private:
    std::wstring baseName_;
    int fd_ = -1;
};

}  // namespace Utils
