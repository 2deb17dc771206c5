#include "tests/uiframework/ui_test_support.h"

#include <cairo.h>

namespace uitest {

namespace {
cairo_status_t Append(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}
}  // namespace

std::string MakePng(int w, int h, const std::function<uint32_t(int, int)>& colour) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_surface_flush(s);
    unsigned char* data = cairo_image_surface_get_data(s);
    int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint32_t c = colour(x, y), a = c >> 24;
            auto pm = [&](uint32_t v) { return (v * a + 127) / 255; };
            reinterpret_cast<uint32_t*>(data + y * stride)[x] =
                (a << 24) | (pm((c >> 16) & 0xFF) << 16) | (pm((c >> 8) & 0xFF) << 8) |
                pm(c & 0xFF);
        }
    }
    cairo_surface_mark_dirty(s);
    std::string out;
    cairo_surface_write_to_png_stream(s, Append, &out);
    cairo_surface_destroy(s);
    return out;
}

std::string SolidPng(int w, int h, uint32_t argb) {
    return MakePng(w, h, [argb](int, int) { return argb; });
}

std::vector<std::wstring> TestWindow::Trail() const {
    std::vector<std::wstring> out;
    for (const auto& n : notes)
        out.push_back(n.type + L":" + n.sender);
    return out;
}

void UiTest::SetUp() {
    source_ = std::make_shared<Ui::MemoryResourceSource>(L"test files");
    clock_ = std::make_shared<Ui::VirtualClock>(1000, false);
    Ui::RuntimeOptions o;
    o.backend = Ui::BackendKind::kHeadless;
    o.clock = clock_;
    o.resources = source_;
    o.headlessIdleLimitMs = 5000;
    o.exitOnResourceFailure = false;
    runtime_ = std::make_unique<Ui::Runtime>(o);
}

void UiTest::TearDown() {
    runtime_.reset();
}

std::unique_ptr<TestWindow> UiTest::Open(const std::wstring& name, const std::string& xml) {
    AddFile(name, xml);
    auto w = std::make_unique<TestWindow>(name);
    EXPECT_TRUE(w->Create(nullptr, L"test"))
        << "window from " << std::string(name.begin(), name.end());
    w->Render();
    return w;
}

}  // namespace uitest
