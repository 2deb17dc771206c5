// Fuzz target: arbitrary bytes as a skin package (glyphora-skinview opens any 7z file the
// user names). The reader must refuse or decode them without crashing, and every decoded
// entry must be found again by its own name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "ui/skin_package.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto package = Ui::SkinPackage::OpenMemory(std::span<const uint8_t>(data, size));
    if (package) {
        for (const auto& entry : package->Entries()) {
            if (package->Find(entry.name) == nullptr) {
                std::abort();
            }
        }
    }
    return 0;
}
