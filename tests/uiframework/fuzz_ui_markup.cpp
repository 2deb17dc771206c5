// Fuzz target: arbitrary bytes as a window description (and as the PNG and image string
// it names). Creation must either fail cleanly or build, lay out, paint and take input
// without a crash or a hang.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "uiframework/attributes.h"
#include "uiframework/image_cache.h"
#include "uiframework/runtime.h"
#include "uiframework/test_driver.h"
#include "uiframework/window.h"
#include "utils/text.h"
#include "utils/trace_log.h"

namespace {

class FuzzWindow : public Ui::SkinWindow {
public:
    std::wstring GetSkinFile() const override { return L"w.xml"; }
};

struct Env {
    Env() {
        setenv("GLYPHORA_TRACE", "off", 1);
        source = std::make_shared<Ui::MemoryResourceSource>();
        Ui::RuntimeOptions o;
        o.backend = Ui::BackendKind::kHeadless;
        o.clock = std::make_shared<Ui::VirtualClock>();
        o.resources = source;
        o.exitOnResourceFailure = false;
        o.headlessIdleLimitMs = 1;
        runtime = std::make_unique<Ui::Runtime>(o);
    }
    std::shared_ptr<Ui::MemoryResourceSource> source;
    std::unique_ptr<Ui::Runtime> runtime;
};

}  // namespace

// fontconfig keeps its loaded configuration for the life of the process on purpose.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\n";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Env env;
    std::string bytes(reinterpret_cast<const char*>(data), size);
    // The same bytes serve as a PNG, an image string and a description.
    Ui::DecodePng(bytes);
    std::wstring wide = Utils::ToWide(bytes, Utils::kCodePageUtf8);
    Ui::ParseImageSpec(wide);
    Ui::ParseColor(wide);
    Ui::ParseRect(wide);

    auto source = std::make_shared<Ui::MemoryResourceSource>();
    source->Add(L"w.xml", bytes);
    source->Add(L"a.png", bytes);
    env.runtime->SetResources(source);
    FuzzWindow w;
    if (w.Create(nullptr, L"fuzz")) {
        w.Render();
        Ui::TestDriver d(w);
        d.MouseMove({5, 5});
        d.MouseDown({5, 5});
        d.MouseUp({5, 5});
        d.TypeText(L"x");
        d.Advance(100);
    }
    return 0;
}
