// libFuzzer target: the command-line splitter and the switch parser on arbitrary text.
// Checks, beyond "no crash": joining the split arguments and splitting again gives the
// same arguments, and every lookup of a present key answers without failing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "utils/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Bytes become characters one to one, so every wide value (NUL included) is reachable
    // with four bytes, and the splitter's special characters with one.
    std::wstring line;
    for (size_t i = 0; i + 4 <= size; i += 4) {
        uint32_t v = uint32_t{data[i]} | uint32_t{data[i + 1]} << 8 | uint32_t{data[i + 2]} << 16 |
                     uint32_t{data[i + 3]} << 24;
        line.push_back(static_cast<wchar_t>(v % 0x110000));
    }
    if (size % 4 != 0) {
        for (size_t i = size - size % 4; i < size; ++i)
            line.push_back(static_cast<wchar_t>(data[i]));
    }

    std::vector<std::wstring> args = Utils::SplitCommandLine(line);
    Utils::CommandLine cl(line);
    for (const auto& [key, value] : cl.Entries()) {
        (void)cl.GetInt(key);
        (void)cl.GetDouble(key, 0.0);
        (void)cl.GetBool(key);
        if (cl.GetString(key) != value)
            std::abort();
    }

    // Round trip: later arguments always survive; the program path survives when it has no
    // double quote (no way to write one there).
    if (!args.empty() && args[0].find(L'"') == std::wstring::npos && !args[0].empty()) {
        if (Utils::SplitCommandLine(Utils::JoinCommandLine(args)) != args)
            std::abort();
    }
    return 0;
}
