// libFuzzer target: the profile-file reader on arbitrary file contents, and a write that
// must keep every other line and read back what it stored.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "utils/profile.h"

namespace {

std::string TempPath() {
    static const std::string path = [] {
        const char* base = std::getenv("TMPDIR");
        std::string t = std::string(base && *base ? base : "/tmp") + "/fuzz-profile-XXXXXX";
        if (::mkdtemp(t.data()) == nullptr) std::abort();
        return t + "/f.ini";
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    static const wchar_t* const kSections[] = {L"Install", L"S", L"", L"install "};
    static const wchar_t* const kKeys[] = {L"DownloadUrl", L"K", L"", L"a=b"};
    for (const wchar_t* s : kSections) {
        for (const wchar_t* k : kKeys) {
            std::wstring v = Utils::ReadProfileStringFromText(text, s, k, L"dflt", 260);
            if (v.size() > 259) std::abort();
            (void)Utils::ReadProfileStringFromText(text, s, k, L"", size % 7);
        }
    }

    // Write one value into the file and read it back through the file functions.
    const std::string path = TempPath();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return 0;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    if (Utils::WriteProfileString(path, L"Install", L"FuzzKey", L"value 1")) {
        if (Utils::ReadProfileString(path, L"Install", L"FuzzKey", L"", 260) != L"value 1") {
            std::abort();
        }
    }
    (void)Utils::ReadProfileInt(path, L"Install", L"DownloadType", 1);
    (void)Utils::DeleteProfileKey(path, L"Install", L"FuzzKey");
    return 0;
}
