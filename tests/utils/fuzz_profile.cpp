// libFuzzer target: the profile-file reader and writer on arbitrary file contents.
// Beyond "no crash": values never exceed the buffer, a written value reads back, and
// deleting the key again removes it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "utils/profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    static const wchar_t* const kSections[] = {L"Install", L"S", L"", L"install "};
    static const wchar_t* const kKeys[] = {L"DownloadUrl", L"K", L"", L"a=b"};
    for (const wchar_t* s : kSections) {
        for (const wchar_t* k : kKeys) {
            std::wstring v = Utils::ReadProfileStringFromText(text, s, k, L"dflt", 260);
            if (v.size() > 259)
                std::abort();
            (void)Utils::ReadProfileStringFromText(text, s, k, L"", size % 7);
        }
    }

    const std::wstring_view value = L" value 1";
    std::string written = Utils::UpdateProfileText(text, L"Install", L"FuzzKey", &value);
    if (Utils::ReadProfileStringFromText(written, L"Install", L"FuzzKey", L"", 260) != L"value 1") {
        std::abort();
    }
    std::string removed = Utils::UpdateProfileText(written, L"Install", L"FuzzKey", nullptr);
    if (Utils::ReadProfileStringFromText(removed, L"Install", L"FuzzKey", L"gone", 260) !=
        L"gone") {
        std::abort();
    }
    return 0;
}
