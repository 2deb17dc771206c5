// The headless back end: windows are frames in memory only; input comes from the test
// driver; waiting is a condition variable that posts wake.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "uiframework/backend.h"
#include "utils/text.h"

namespace Ui {

namespace {

class HeadlessWindow final : public NativeWindow {
public:
    void Show(bool) override {}
    void Present(cairo_surface_t*, const Rect&) override {}
    Point GetPosition() const override { return pos_; }
    void Move(Point p) override { pos_ = p; }
    void Minimize() override {}
    void Raise() override {}
    bool SetIcon(cairo_surface_t* icon) override { return icon != nullptr; }
    void SetTextInput(bool, const Rect&) override {}

private:
    Point pos_;
};

class HeadlessBackend final : public Backend {
public:
    bool IsHeadless() const override { return true; }
    std::unique_ptr<NativeWindow> CreateNativeWindow(WindowHandle, Size, Size, const std::wstring&,
                                                     std::function<bool(Point)>) override {
        return std::make_unique<HeadlessWindow>();
    }
    // The size of a common desktop, so centring gives the same numbers everywhere.
    Size ScreenSize() const override { return {1920, 1080}; }
    void Wake() override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            woken_ = true;
        }
        cv_.notify_one();
    }
    bool Wait(int timeoutMs, std::vector<Message>&) override {
        std::unique_lock<std::mutex> lock(mutex_);
        if (timeoutMs < 0) {
            cv_.wait(lock, [&] { return woken_; });
        } else {
            cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return woken_; });
        }
        bool was = woken_;
        woken_ = false;
        return was;
    }
    void Poll(std::vector<Message>&) override {
        std::lock_guard<std::mutex> lock(mutex_);
        woken_ = false;
    }
    bool GetClipboard(std::wstring& text) override {
        text = clipboard_;
        return true;
    }
    void SetClipboard(const std::wstring& text) override { clipboard_ = text; }
    void ShowErrorBox(const std::wstring&, const std::wstring& text) override {
        // No display: the box's text goes to standard error.
        std::string line = Utils::ToNarrow(text, Utils::kCodePageUtf8) + "\n";
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fflush(stderr);
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool woken_ = false;
    std::wstring clipboard_;
};

}  // namespace

std::unique_ptr<Backend> CreateHeadlessBackend() {
    return std::make_unique<HeadlessBackend>();
}

bool DisplayAvailable() {
    const char* x = std::getenv("DISPLAY");
    const char* w = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (w && *w);
}

}  // namespace Ui
