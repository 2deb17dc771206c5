// The SDL2 back end: one borderless native window per frame, the frame copied into the
// window's surface for the parts that changed, native input translated into messages.
#include <SDL.h>
#include <SDL_shape.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "uiframework/backend.h"
#include "uiframework/painter.h"
#include "utils/text.h"
#include "utils/trace_log.h"

namespace Ui {

namespace {

uint32_t ToVirtualKey(SDL_Keycode k) {
    if (k >= SDLK_a && k <= SDLK_z)
        return static_cast<uint32_t>(k - SDLK_a + 0x41);
    if (k >= SDLK_0 && k <= SDLK_9)
        return static_cast<uint32_t>(k - SDLK_0 + 0x30);
    if (k >= SDLK_F1 && k <= SDLK_F12)
        return static_cast<uint32_t>(k - SDLK_F1 + 0x70);
    switch (k) {
        case SDLK_BACKSPACE:
            return kVkBack;
        case SDLK_TAB:
            return kVkTab;
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            return kVkReturn;
        case SDLK_ESCAPE:
            return kVkEscape;
        case SDLK_SPACE:
            return kVkSpace;
        case SDLK_END:
            return kVkEnd;
        case SDLK_HOME:
            return kVkHome;
        case SDLK_LEFT:
            return kVkLeft;
        case SDLK_UP:
            return kVkUp;
        case SDLK_RIGHT:
            return kVkRight;
        case SDLK_DOWN:
            return kVkDown;
        case SDLK_DELETE:
            return kVkDelete;
        case SDLK_LSHIFT:
        case SDLK_RSHIFT:
            return kVkShift;
        case SDLK_LCTRL:
        case SDLK_RCTRL:
            return kVkControl;
        case SDLK_LALT:
        case SDLK_RALT:
            return kVkMenu;
        default:
            return 0;
    }
}

uint32_t ToModifiers(Uint16 mod) {
    uint32_t m = 0;
    if (mod & KMOD_SHIFT)
        m |= kModShift;
    if (mod & KMOD_CTRL)
        m |= kModCtrl;
    if (mod & KMOD_ALT)
        m |= kModAlt;
    return m;
}

class SdlWindow final : public NativeWindow {
public:
    SdlWindow(SDL_Window* w, std::function<bool(Point)> isCaption)
        : window_(w), isCaption_(std::move(isCaption)) {
        // Without a window manager (bare Xvfb) or on a driver without hit tests this fails;
        // the window then simply can not be dragged.
        SDL_SetWindowHitTest(window_, &SdlWindow::HitTest, this);
    }
    ~SdlWindow() override {
        SDL_SetWindowHitTest(window_, nullptr, nullptr);
        SDL_DestroyWindow(window_);
    }
    Uint32 Id() const { return SDL_GetWindowID(window_); }

    void Show(bool show) override {
        if (show)
            SDL_ShowWindow(window_);
        else
            SDL_HideWindow(window_);
    }
    void Present(cairo_surface_t* frame, const Rect& area) override {
        SDL_Surface* target = SDL_GetWindowSurface(window_);
        if (!target)
            return;
        int fw = cairo_image_surface_get_width(frame), fh = cairo_image_surface_get_height(frame);
        Rect r = area.Intersect({0, 0, std::min(fw, target->w), std::min(fh, target->h)});
        if (r.IsEmpty())
            return;
        const unsigned char* src = cairo_image_surface_get_data(frame);
        int srcStride = cairo_image_surface_get_stride(frame);
        if (SDL_MUSTLOCK(target))
            SDL_LockSurface(target);
        auto* dst = static_cast<unsigned char*>(target->pixels);
        Uint32 fmt = target->format->format;
        if (fmt == SDL_PIXELFORMAT_ARGB8888 || fmt == SDL_PIXELFORMAT_RGB888) {
            // Same byte layout as cairo's ARGB32 on this machine: rows copy as they are
            // (premultiplied, so what is transparent shows black, as on the X server).
            for (int y = r.top; y < r.bottom; ++y) {
                std::memcpy(dst + y * target->pitch + r.left * 4, src + y * srcStride + r.left * 4,
                            static_cast<size_t>(r.Width()) * 4);
            }
        } else {
            SDL_ConvertPixels(r.Width(), r.Height(), SDL_PIXELFORMAT_ARGB8888,
                              src + r.top * srcStride + r.left * 4, srcStride, fmt,
                              dst + r.top * target->pitch + r.left * target->format->BytesPerPixel,
                              target->pitch);
        }
        if (SDL_MUSTLOCK(target))
            SDL_UnlockSurface(target);
        SDL_Rect rect{r.left, r.top, r.Width(), r.Height()};
        SDL_UpdateWindowSurfaceRects(window_, &rect, 1);
    }
    Point GetPosition() const override {
        int x = 0, y = 0;
        SDL_GetWindowPosition(window_, &x, &y);
        return {x, y};
    }
    void Move(Point p) override { SDL_SetWindowPosition(window_, p.x, p.y); }
    void Minimize() override { SDL_MinimizeWindow(window_); }
    void Raise() override { SDL_RaiseWindow(window_); }
    bool SetIcon(cairo_surface_t* icon) override {
        int w = cairo_image_surface_get_width(icon), h = cairo_image_surface_get_height(icon);
        SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
        if (!s)
            return false;
        cairo_surface_flush(icon);
        const unsigned char* src = cairo_image_surface_get_data(icon);
        int stride = cairo_image_surface_get_stride(icon);
        for (int y = 0; y < h; ++y) {
            auto* in = reinterpret_cast<const uint32_t*>(src + y * stride);
            auto* out =
                reinterpret_cast<uint32_t*>(static_cast<unsigned char*>(s->pixels) + y * s->pitch);
            for (int x = 0; x < w; ++x) {
                uint32_t p = in[x], a = p >> 24;
                // SDL wants straight alpha; cairo keeps it premultiplied.
                auto un = [&](uint32_t c) { return a ? std::min<uint32_t>(255, c * 255 / a) : 0; };
                out[x] = (a << 24) | (un((p >> 16) & 0xFF) << 16) | (un((p >> 8) & 0xFF) << 8) |
                         un(p & 0xFF);
            }
        }
        SDL_SetWindowIcon(window_, s);
        SDL_FreeSurface(s);
        return true;
    }
    void SetTextInput(bool on, const Rect& caret) override {
        if (on) {
            SDL_Rect r{caret.left, caret.top, std::max(1, caret.Width()),
                       std::max(1, caret.Height())};
            SDL_SetTextInputRect(&r);
            SDL_StartTextInput();
        } else {
            SDL_StopTextInput();
        }
    }

private:
    static SDL_HitTestResult HitTest(SDL_Window*, const SDL_Point* area, void* data) {
        auto* self = static_cast<SdlWindow*>(data);
        return self->isCaption_ && self->isCaption_({area->x, area->y}) ? SDL_HITTEST_DRAGGABLE
                                                                        : SDL_HITTEST_NORMAL;
    }
    SDL_Window* window_;
    std::function<bool(Point)> isCaption_;
};

class SdlBackend final : public Backend {
public:
    bool Init() {
        SDL_SetHint("SDL_QUIT_ON_LAST_WINDOW_CLOSE", "0");
        // The window surface is written by the CPU anyway; SDL's default on X11 puts it
        // behind an OpenGL texture, which on a software GL (Xvfb, remote desktops) costs a
        // context per window and a GL upload per frame. Plain X11 images are cheaper.
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        if (SDL_Init(SDL_INIT_VIDEO) != 0) {
            TRACE(L"SDL video did not start: %s", SDL_GetError());
            return false;
        }
        wakeEvent_ = SDL_RegisterEvents(1);
        SDL_StopTextInput();  // on only while an edit has the focus
        return true;
    }
    ~SdlBackend() override {
        windows_.clear();
        SDL_Quit();
    }
    bool IsHeadless() const override { return false; }

    std::unique_ptr<NativeWindow> CreateNativeWindow(
        WindowHandle handle, Size size, Size roundCorner, const std::wstring& title,
        std::function<bool(Point)> isCaption) override {
        std::string t = Utils::ToNarrow(title, Utils::kCodePageUtf8);
        SDL_Window* w = nullptr;
        if (roundCorner.cx > 0 && roundCorner.cy > 0)
            w = CreateRoundedWindow(t, size, roundCorner);
        if (!w) {
            w = SDL_CreateWindow(t.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                 size.cx, size.cy, SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS);
        }
        if (!w) {
            TRACE(L"SDL_CreateWindow failed: %s", SDL_GetError());
            return nullptr;
        }
        auto native = std::make_unique<SdlWindow>(w, std::move(isCaption));
        windows_[native->Id()] = handle;
        return native;
    }
    Size ScreenSize() const override {
        SDL_Rect r;
        if (SDL_GetDisplayUsableBounds(0, &r) != 0)
            return {1920, 1080};
        return {r.w, r.h};
    }
    void Wake() override {
        if (wakePending_.exchange(true))
            return;  // one wake in SDL's queue is enough
        SDL_Event e{};
        e.type = wakeEvent_;
        SDL_PushEvent(&e);
    }
    bool Wait(int timeoutMs, std::vector<Message>& out) override {
        SDL_Event e;
        int got = timeoutMs < 0 ? SDL_WaitEvent(&e) : SDL_WaitEventTimeout(&e, timeoutMs);
        if (!got)
            return false;
        Translate(e, out);
        Poll(out);
        return true;
    }
    void Poll(std::vector<Message>& out) override {
        SDL_Event e;
        while (SDL_PollEvent(&e))
            Translate(e, out);
    }
    bool GetClipboard(std::wstring& text) override {
        if (!SDL_HasClipboardText())
            return false;
        char* utf8 = SDL_GetClipboardText();
        if (!utf8)
            return false;
        text = Utils::ToWide(utf8, Utils::kCodePageUtf8);
        SDL_free(utf8);
        return true;
    }
    void SetClipboard(const std::wstring& text) override {
        SDL_SetClipboardText(Utils::ToNarrow(text, Utils::kCodePageUtf8).c_str());
    }
    void ShowErrorBox(const std::wstring& title, const std::wstring& text) override {
        std::string t = Utils::ToNarrow(text, Utils::kCodePageUtf8);
        std::fprintf(stderr, "%s\n", t.c_str());
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR,
                                 Utils::ToNarrow(title, Utils::kCodePageUtf8).c_str(), t.c_str(),
                                 nullptr);
    }

private:
    WindowHandle HandleOf(Uint32 id) const {
        auto it = windows_.find(id);
        return it == windows_.end() ? 0 : it->second;
    }
    // A window cut to the rounded rectangle of "roundcorner" (the X shape extension on
    // X11), so the corners show what is behind the window. Null when the driver has no
    // shaped windows; the caller then makes a plain one.
    static SDL_Window* CreateRoundedWindow(const std::string& title, Size size, Size round) {
        SDL_Window* w =
            SDL_CreateShapedWindow(title.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                   size.cx, size.cy, SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS);
        if (!w)
            return nullptr;
        cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size.cx, size.cy);
        cairo_t* cr = cairo_create(mask);
        cairo_set_source_rgba(cr, 1, 1, 1, 1);
        RoundedRectPath(cr, {0, 0, size.cx, size.cy}, round);
        cairo_fill(cr);
        cairo_destroy(cr);
        cairo_surface_flush(mask);
        SDL_Surface* shape = SDL_CreateRGBSurfaceWithFormatFrom(
            cairo_image_surface_get_data(mask), size.cx, size.cy, 32,
            cairo_image_surface_get_stride(mask), SDL_PIXELFORMAT_ARGB8888);
        SDL_WindowShapeMode mode;
        mode.mode = ShapeModeBinarizeAlpha;
        mode.parameters.binarizationCutoff = 128;  // the same edge the frame's clip draws
        int rc = shape ? SDL_SetWindowShape(w, shape, &mode) : -1;
        if (shape)
            SDL_FreeSurface(shape);
        cairo_surface_destroy(mask);
        if (rc != 0) {
            TRACE(L"window shape refused (%s); square corners", SDL_GetError());
            SDL_DestroyWindow(w);
            return nullptr;
        }
        SDL_HideWindow(w);  // setting the shape may show it; the framework shows it later
        return w;
    }

    // Appends a message for the framework window behind SDL window `id`; input for a
    // window that is already gone is dropped.
    void Emit(std::vector<Message>& out, Uint32 id, uint32_t msg, uintptr_t wParam, intptr_t lParam,
              std::shared_ptr<void> payload = {}) {
        WindowHandle h = HandleOf(id);
        if (h != 0)
            out.push_back({h, msg, wParam, lParam, std::move(payload)});
    }

    void Translate(const SDL_Event& e, std::vector<Message>& out) {
        if (e.type == wakeEvent_) {
            wakePending_ = false;
            return;
        }
        switch (e.type) {
            case SDL_MOUSEMOTION:
                Emit(out, e.motion.windowID, kMsgMouseMove, 0,
                     MakePointParam(e.motion.x, e.motion.y));
                break;
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP:
                if (e.button.button == SDL_BUTTON_LEFT) {
                    Emit(out, e.button.windowID,
                         e.type == SDL_MOUSEBUTTONDOWN ? kMsgLButtonDown : kMsgLButtonUp, 0,
                         MakePointParam(e.button.x, e.button.y));
                }
                break;
            case SDL_KEYDOWN:
            case SDL_KEYUP:
                if (uint32_t vk = ToVirtualKey(e.key.keysym.sym)) {
                    Emit(out, e.key.windowID, e.type == SDL_KEYDOWN ? kMsgKeyDown : kMsgKeyUp, vk,
                         static_cast<intptr_t>(ToModifiers(e.key.keysym.mod)));
                }
                break;
            case SDL_TEXTINPUT: {
                auto text = std::make_shared<std::wstring>(
                    Utils::ToWide(e.text.text, Utils::kCodePageUtf8));
                if (!text->empty()) {
                    uintptr_t first = static_cast<uintptr_t>((*text)[0]);
                    Emit(out, e.text.windowID, kMsgChar, first, 0, std::move(text));
                }
                break;
            }
            case SDL_TEXTEDITING:
                // Text the input method is still composing; shown at the caret until the
                // input method commits it (SDL_TEXTINPUT) or drops it (empty text).
                Emit(out, e.edit.windowID, kMsgComposition, 0, 0,
                     std::make_shared<std::wstring>(
                         Utils::ToWide(e.edit.text, Utils::kCodePageUtf8)));
                break;
            case SDL_WINDOWEVENT:
                switch (e.window.event) {
                    case SDL_WINDOWEVENT_CLOSE:
                        Emit(out, e.window.windowID, kMsgClose, 1, 0);
                        break;
                    case SDL_WINDOWEVENT_LEAVE:
                        Emit(out, e.window.windowID, kMsgMouseLeave, 0, 0);
                        break;
                    case SDL_WINDOWEVENT_EXPOSED:
                    case SDL_WINDOWEVENT_SHOWN:
                    case SDL_WINDOWEVENT_RESTORED:
                        Emit(out, e.window.windowID, kMsgExpose, 0, 0);
                        break;
                    default:
                        break;
                }
                break;
            default:
                break;  // SDL_QUIT included: windows close through their own messages
        }
    }

    Uint32 wakeEvent_ = 0;
    std::atomic<bool> wakePending_{false};
    std::unordered_map<Uint32, WindowHandle> windows_;
};

}  // namespace

std::unique_ptr<Backend> CreateSdlBackend() {
    auto b = std::make_unique<SdlBackend>();
    if (!b->Init())
        return nullptr;
    return b;
}

}  // namespace Ui
