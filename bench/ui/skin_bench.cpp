// Skin package and first-frame benchmarks (in-process parts; bench/ui/run.sh adds the
// whole process and the peer decoder).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include "ui/embedded_resources.h"
#include "ui/sequence_controls.h"
#include "ui/skin_frame.h"
#include "ui/skin_package.h"
#include "ui/skin_package_source.h"
#include "uiframework/runtime.h"

namespace {

// Opening the embedded package from memory and decoding all 162 entries.
void BM_DecodeEmbeddedPackage(benchmark::State& state) {
    const auto bytes = Ui::FindEmbeddedResource(Ui::kSkinResourceType, Ui::kSkinResourceId);
    uint64_t total = 0;
    for (auto _ : state) {
        auto package = Ui::SkinPackage::OpenMemory(bytes);
        if (!package) {
            state.SkipWithError("package does not open");
            return;
        }
        total = package->TotalBytes();
        benchmark::DoNotOptimize(package.get());
    }
    state.counters["packed_bytes"] = static_cast<double>(bytes.size());
    state.counters["decoded_bytes"] = static_cast<double>(total);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * total));
}
BENCHMARK(BM_DecodeEmbeddedPackage)->Unit(benchmark::kMillisecond);

// Looking up the 100 animation frames by their markup spelling (one second of animation
// needs 33 of these).
void BM_LookupAnimationFrames(benchmark::State& state) {
    auto package = Ui::ProcessSkinPackage();
    wchar_t names[100][64];
    for (int i = 0; i < 100; ++i) {
        std::swprintf(names[i], 64, L"res\\mainWnd\\installBtnAnimate\\%.3d.png", i);
    }
    for (auto _ : state) {
        for (const auto& name : names) {
            benchmark::DoNotOptimize(package->Find(name));
        }
    }
    state.SetItemsProcessed(state.iterations() * 100);
}
BENCHMARK(BM_LookupAnimationFrames)->Unit(benchmark::kMicrosecond);

class MainFrame : public CSkinFrame {
public:
    MainFrame() : CSkinFrame(SkinSource::ForFile(L"MainWnd.xml")) {}

protected:
    std::unique_ptr<Ui::Control> CreateControl(std::wstring_view className) override {
        return CreateSequenceControl(className);
    }
};

// A runtime, the main window built from the (already decoded) package, its first frame.
void BM_MainWindowFirstFrame(benchmark::State& state) {
    for (auto _ : state) {
        Ui::RuntimeOptions options;
        options.backend = Ui::BackendKind::kHeadless;
        options.exitOnResourceFailure = false;
        Ui::Runtime runtime(options);
        MainFrame window;
        if (!window.Create(nullptr, L"Lexivo")) {
            state.SkipWithError("main window not created");
            return;
        }
        window.ShowWindow(true);
        window.Render();
        benchmark::DoNotOptimize(window.Frame());
    }
}
BENCHMARK(BM_MainWindowFirstFrame)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    setenv("GLYPHORA_TRACE", "off", 0);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
