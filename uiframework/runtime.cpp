#include "uiframework/runtime.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "uiframework/backend.h"
#include "uiframework/dispatcher.h"
#include "uiframework/image_cache.h"
#include "uiframework/text_layout.h"
#include "utils/trace_log.h"

namespace Ui {

const wchar_t kResourceLoadFailedText[] = L"加载资源文件失败";

namespace {

std::atomic<Runtime*> g_current{nullptr};

std::filesystem::path ExecutableFolder() {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::current_path(ec) : exe.parent_path();
}

BackendKind ChooseBackend(BackendKind asked) {
    if (asked != BackendKind::kAuto)
        return asked;
    if (const char* env = std::getenv("GLYPHORA_UI_BACKEND")) {
        if (std::strcmp(env, "headless") == 0)
            return BackendKind::kHeadless;
        if (std::strcmp(env, "sdl") == 0)
            return BackendKind::kSdl;
    }
    return DisplayAvailable() ? BackendKind::kSdl : BackendKind::kHeadless;
}

}  // namespace

Runtime::Runtime(RuntimeOptions options) : options_(std::move(options)) {
    if (g_current.load())
        TRACE(L"a second UI runtime replaces the first as the current one");
    clock_ = options_.clock ? options_.clock : std::make_shared<SteadyClock>();
    resources_ = options_.resources ? options_.resources
                                    : std::make_shared<FolderResourceSource>(ExecutableFolder());
    images_ = std::make_unique<ImageCache>();
    EnsureFontConfig();
    if (ChooseBackend(options_.backend) == BackendKind::kSdl) {
        backend_ = CreateSdlBackend();
        if (!backend_)
            TRACE(L"no native display; running headless");
    }
    if (!backend_)
        backend_ = CreateHeadlessBackend();
    dispatcher_ = std::make_unique<Dispatcher>(*this);
    g_current = this;
}

Runtime::~Runtime() {
    // Windows still alive are their owners' business; nothing here may touch them.
    Runtime* self = this;
    g_current.compare_exchange_strong(self, nullptr);
    dispatcher_.reset();
    backend_.reset();
}

Runtime* Runtime::Current() {
    return g_current.load();
}

bool Runtime::IsHeadless() const {
    return backend_->IsHeadless();
}

VirtualClock* Runtime::GetVirtualClock() const {
    return clock_->IsVirtual() ? static_cast<VirtualClock*>(clock_.get()) : nullptr;
}

void Runtime::SetResources(std::shared_ptr<ResourceSource> resources) {
    if (!resources)
        return;
    resources_ = std::move(resources);
    images_->Clear();
}

bool PostMessage(WindowHandle window, uint32_t id, uintptr_t wParam, intptr_t lParam,
                 std::shared_ptr<void> payload) {
    Runtime* rt = Runtime::Current();
    if (!rt)
        return false;
    return rt->GetDispatcher().Post(Message{window, id, wParam, lParam, std::move(payload)});
}

bool PostTask(std::function<void()> task) {
    if (!task)
        return false;
    return PostMessage(0, kMsgTask, 0, 0, std::make_shared<std::function<void()>>(std::move(task)));
}

void PostQuitMessage(int exitCode) {
    PostMessage(0, kMsgQuit, static_cast<uintptr_t>(static_cast<unsigned>(exitCode)));
}

}  // namespace Ui
