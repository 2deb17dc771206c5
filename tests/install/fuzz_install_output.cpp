// Fuzz target: arbitrary child output in arbitrary chunking through the line reassembly,
// the decoding with the code page the lines select, and both output parsers.
//
// Input layout: byte 0 picks the starting code page of the run, byte 1 seeds the chunk
// sizes; the rest is the child's output. Every event's text must be readable during the
// callback, and a parser result must be one of the three defined values.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "install/output_protocol.h"
#include "utils/child_process.h"
#include "utils/text.h"

namespace {

void Feed(const std::string_view whole, uint8_t seed, int32_t startPage, bool package) {
    int32_t codePage = startPage;
    size_t textBytes = 0;
    InstallCallback callback = [&](int32_t code, double, const wchar_t* text) {
        if (code < 2001 || code > 5005 || text == nullptr)
            std::abort();
        textBytes += std::wstring(text).size();
    };
    Utils::LineAssembler lines(4096);
    auto onLine = [&](std::string_view raw) {
        std::wstring wide = Utils::ToWide(raw, static_cast<unsigned>(codePage));
        int result = package ? ParsePackageOutput(wide, callback, codePage)
                             : ParseUninstallOutput(wide, callback, codePage);
        if (result != kNoFinalState && result != kFinalSuccess && result != kFinalFailure) {
            std::abort();
        }
    };
    std::string_view output = whole;
    size_t step = 1 + seed % 37;
    while (!output.empty()) {
        size_t take = std::min(step, output.size());
        lines.Feed(output.substr(0, take), onLine);
        output.remove_prefix(take);
        step = 1 + (step * 7 + seed) % 1024;
    }
    lines.Flush(onLine);
    // Whole chunks with several lines, as a parser may also receive them.
    std::wstring all = Utils::ToWide(whole, Utils::kCodePageUtf8);
    int32_t page = 0;
    ParsePackageOutput(all, callback, page);
    ParseUninstallOutput(all, callback, page);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    static const int32_t kPages[] = {0, 65001, 936, 1252, 12345, -1};
    int32_t startPage = kPages[data[0] % 6];
    std::string_view output(reinterpret_cast<const char*>(data + 2), size - 2);
    Feed(output, data[1], startPage, true);
    Feed(output, data[1], startPage, false);
    return 0;
}
