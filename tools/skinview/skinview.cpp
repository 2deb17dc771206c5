// glyphora-skinview: shows any window description of a skin package, for skin authors.
//
//   glyphora-skinview [SOURCE] [--skin NAME] [--page N] [--progress P] [--text T]
//                     [--caption C] [--frame N] [--png OUT.png [--shadow]] [--list]
//
//   SOURCE        --package FILE.7z | --folder DIR; default: the package embedded in this
//                 program (the installer's own skin)
//   --skin NAME   description to open (default mainWnd.xml); looked up like the installer
//                 does, so "ExitTipWnd.xml" works
//   --page N      main window: show page N (0 start, 1 custom, 2 installing, 3 finished)
//                 with the page's background and title-bar state
//   --progress P  main window: progress bar and text at P percent (page 2)
//   --dir PATH    main window: the folder shown in the install-folder edit (page 1)
//   --text T, --caption C
//                 dialog texts for "textLbl" and "captionLbl" (as the installer passes them)
//   --frame N     advance the animation N frames before the picture
//   --png OUT     render headless (no display needed) into OUT and exit; --shadow adds the
//                 window's drop shadow around it
//   --list        print the package's entries and exit
//   --first-frame show the window, draw its first frame, print the milliseconds from the
//                 start of main and from the process's start to that frame, and exit
//                 (benchmarks; headless unless GLYPHORA_UI_BACKEND or a display says else)
//
// Without --png the window opens on the display (headless when there is none, which then
// only makes sense with --png). In the window, keys 0-3 switch the main window's pages,
// and the back and custom-install buttons switch pages as in the installer.
#include <cairo.h>

#include <unistd.h>

#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>

#include "ui/sequence_controls.h"
#include "ui/skin_frame.h"
#include "ui/skin_package.h"
#include "ui/skin_package_source.h"
#include "uiframework/controls.h"
#include "uiframework/runtime.h"
#include "uiframework/test_driver.h"
#include "utils/text.h"

namespace {

struct Options {
    std::string package;
    std::string folder;
    std::wstring skin = L"mainWnd.xml";
    int page = -1;
    int progress = -1;
    const wchar_t* text = nullptr;
    const wchar_t* caption = nullptr;
    std::wstring textStorage, captionStorage;
    std::wstring dir;
    int frames = 0;
    std::string png;
    bool shadow = false;
    bool list = false;
    bool firstFrame = false;
};

// Milliseconds since the process started (from /proc/self/stat, clock-tick resolution),
// or -1 when unknown.
double MsSinceProcessStart() {
    FILE* f = std::fopen("/proc/self/stat", "r");
    if (f == nullptr) {
        return -1;
    }
    char buffer[1024];
    const size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
    std::fclose(f);
    buffer[n] = 0;
    // Field 22 (starttime) counts from after the ")" that ends the command name.
    const char* p = std::strrchr(buffer, ')');
    if (p == nullptr) {
        return -1;
    }
    unsigned long long start = 0;
    int field = 2;
    for (const char* q = p + 1; *q != 0; ++q) {
        if (*q == ' ' && ++field == 22) {
            start = std::strtoull(q + 1, nullptr, 10);
            break;
        }
    }
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
    return (now.tv_sec + now.tv_nsec / 1e9 - start / ticks) * 1000.0;
}

std::wstring Wide(const char* s) {
    return Utils::ToWide(s, Utils::kCodePageSystem);
}

// The main window's page decoration, as the installer's main window applies it on every
// page change.
void DecoratePage(Ui::SkinWindow& window, int page) {
    static const wchar_t* const kBackgrounds[] = {
        L"res\\mainWnd\\bg1.png", L"res\\mainWnd\\bg2.png", L"res\\mainWnd\\bg3.png",
        L"res\\mainWnd\\bg4.png"};
    if (page < 0 || page > 3) {
        return;
    }
    if (Ui::Control* winCtn = window.FindControl(L"winCtn")) {
        winCtn->SetBkImage(kBackgrounds[page]);
    }
    if (auto* title = window.FindControlAs<Ui::TabLayout>(L"titleTabLt")) {
        if (page != 2) {
            title->SelectItem(page == 3 ? 2 : 1);
        }
    }
    if (Ui::Control* group = window.FindControl(L"titleGrpCtn")) {
        group->SetVisible(page != 2);
    }
    if (Ui::Control* back = window.FindControl(L"backBtn")) {
        back->SetVisible(page == 1);
    }
    if (auto* animation = window.FindControlAs<CSequenceLabelUI>(L"progressAnLb")) {
        if (page == 2) {
            animation->Start();
        } else if (page == 3) {
            animation->KillTimer(TIMER_SEQUENCE_FRAME);
        }
    }
}

class PreviewWnd : public CSkinFrame {
public:
    // `kind`: kKindZipResource for the embedded package (opened by the frame itself, as in
    // the installer), kKindFolder when the runtime's source is already set.
    PreviewWnd(const Options& options, int kind)
        : CSkinFrame([&] {
              SkinSource source = SkinSource::ForFile(options.skin);
              source.resourceKind = kind;
              return source;
          }()),
          options_(options) {}

    void ShowPage(int page) {
        if (auto* tabs = FindControlAs<Ui::TabLayout>(L"mainTabLt")) {
            if (!tabs->SelectItem(page)) {
                DecoratePage(*this, page);  // already there: decorate anyway
            }
        }
    }

protected:
    std::unique_ptr<Ui::Control> CreateControl(std::wstring_view className) override {
        return CreateSequenceControl(className);
    }

    void OnWindowReady() override {
        CSkinFrame::OnWindowReady();
        // The installer fits the product-name label to its text.
        if (auto* label = FindControlAs<Ui::Label>(L"bTitleLbl3")) {
            label->SetFixedWidth(MeasureText(L"Lexivo", label->GetFont()).cx);
            label->SetText(L"Lexivo");
        }
        if (options_.text != nullptr) {
            if (Ui::Control* text = FindControl(L"textLbl")) {
                text->SetText(options_.text);
            }
        }
        if (options_.caption != nullptr) {
            if (Ui::Control* caption = FindControl(L"captionLbl")) {
                caption->SetText(options_.caption);
            }
        }
        if (!options_.dir.empty()) {
            if (Ui::Control* edit = FindControl(L"installDirEdit")) {
                edit->SetText(options_.dir);
            }
        }
        if (options_.progress >= 0) {
            if (auto* bar = FindControlAs<Ui::Progress>(L"installPrg")) {
                bar->SetValue(options_.progress);
            }
            if (Ui::Control* label = FindControl(L"progressLb")) {
                wchar_t text[250];
                std::swprintf(text, 250, L"正在安装中:%d%%，请稍候...", options_.progress);
                label->SetText(text);
            }
        }
    }

    void OnNotify(Ui::Notify& notify) override {
        if (notify.type == L"tabselect") {
            if (auto* tabs = FindControlAs<Ui::TabLayout>(L"mainTabLt");
                tabs != nullptr && notify.sender == tabs) {
                DecoratePage(*this, tabs->GetCurSel());
            }
        } else if (notify.type == L"click" && notify.sender != nullptr) {
            const std::wstring& name = notify.sender->GetName();
            if (name == L"backBtn") {
                ShowPage(0);
                return;
            }
            if (name == L"customeBtn") {
                ShowPage(1);
                return;
            }
        }
        CSkinFrame::OnNotify(notify);
    }

    bool OnKeyMessage(Ui::Message& message) override {
        if (message.id == Ui::kMsgKeyDown && message.wParam >= '0' && message.wParam <= '3') {
            ShowPage(static_cast<int>(message.wParam - '0'));
            return true;
        }
        return CSkinFrame::OnKeyMessage(message);
    }

private:
    const Options& options_;
};

bool SaveWithShadow(const PreviewWnd& window, const std::string& path) {
    cairo_surface_t* composed = window.Shadow().Compose();
    if (composed == nullptr) {
        return false;
    }
    const bool ok = cairo_surface_write_to_png(composed, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(composed);
    return ok;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: glyphora-skinview [--package FILE.7z | --folder DIR] [--skin NAME]\n"
                 "         [--page N] [--progress P] [--dir PATH] [--text T] [--caption C]\n"
                 "         [--frame N] [--png OUT.png [--shadow]] [--list] [--first-frame]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const auto mainEntered = std::chrono::steady_clock::now();
    std::setlocale(LC_ALL, "");
    // A viewer ends on SIGTERM / Ctrl+C like any tool; SDL would otherwise turn the signals
    // into a quit event the window does not act on.
    setenv("SDL_NO_SIGNAL_HANDLERS", "1", 0);
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--package" && hasValue) {
            options.package = argv[++i];
        } else if (arg == "--folder" && hasValue) {
            options.folder = argv[++i];
        } else if (arg == "--skin" && hasValue) {
            options.skin = Wide(argv[++i]);
        } else if (arg == "--page" && hasValue) {
            options.page = std::atoi(argv[++i]);
        } else if (arg == "--progress" && hasValue) {
            options.progress = std::atoi(argv[++i]);
        } else if (arg == "--dir" && hasValue) {
            options.dir = Wide(argv[++i]);
        } else if (arg == "--text" && hasValue) {
            options.textStorage = Wide(argv[++i]);
        } else if (arg == "--caption" && hasValue) {
            options.captionStorage = Wide(argv[++i]);
        } else if (arg == "--frame" && hasValue) {
            options.frames = std::atoi(argv[++i]);
        } else if (arg == "--png" && hasValue) {
            options.png = argv[++i];
        } else if (arg == "--shadow") {
            options.shadow = true;
        } else if (arg == "--first-frame") {
            options.firstFrame = true;
        } else if (arg == "--list") {
            options.list = true;
        } else {
            return Usage();
        }
    }
    // Texts given on the command line may carry "\n" escapes for line breaks.
    auto unescape = [](std::wstring& s) {
        for (size_t p; (p = s.find(L"\\n")) != std::wstring::npos;) {
            s.replace(p, 2, L"\n");
        }
    };
    unescape(options.textStorage);
    unescape(options.captionStorage);
    if (!options.textStorage.empty()) {
        options.text = options.textStorage.c_str();
    }
    if (!options.captionStorage.empty()) {
        options.caption = options.captionStorage.c_str();
    }

    // The embedded package is what the installer uses: it is decoded on a worker while the
    // runtime and fonts come up, and the frame (resource kind 4) installs it as the
    // installer's windows do. A file or folder is opened here and installed as the source.
    const bool embedded = options.package.empty() && options.folder.empty();
    std::wstring error;
    std::shared_ptr<const Ui::SkinPackage> package;
    std::wstring description;
    if (embedded) {
        Ui::PrefetchSkinPackage();
    } else if (!options.package.empty()) {
        package = Ui::SkinPackage::OpenFile(options.package, &error);
        description = L"package " + Wide(options.package.c_str());
    } else {
        package = Ui::SkinPackage::OpenFolder(options.folder, &error);
        description = L"folder " + Wide(options.folder.c_str());
    }
    if (options.list && embedded) {
        package = Ui::ProcessSkinPackage();
        if (!package) {
            error = L"the embedded skin package does not open";
        }
    }
    if (!embedded || options.list) {
        if (!package) {
            std::fprintf(stderr, "skinview: %ls\n", error.c_str());
            return 1;
        }
    }
    if (options.list) {
        for (const auto& entry : package->Entries()) {
            std::printf("%10zu  %ls\n", entry.bytes.size(), entry.name.c_str());
        }
        return 0;
    }

    Ui::RuntimeOptions runtimeOptions;
    const bool headless = !options.png.empty();
    std::shared_ptr<Ui::VirtualClock> clock;
    if (headless) {
        runtimeOptions.backend = Ui::BackendKind::kHeadless;
        clock = std::make_shared<Ui::VirtualClock>();
        runtimeOptions.clock = clock;
    }
    if (!embedded) {
        runtimeOptions.resources = std::make_shared<Ui::SkinPackageSource>(package, description);
    }
    // A skin that can not be loaded ends with a message and exit code 1 either way.
    runtimeOptions.exitOnResourceFailure = false;
    Ui::Runtime runtime(runtimeOptions);

    PreviewWnd window(options, embedded ? SkinSource::kKindZipResource : SkinSource::kKindFolder);
    if (!window.Create(nullptr, L"Lexivo skin viewer")) {
        std::fprintf(stderr, "skinview: %ls can not be shown\n", options.skin.c_str());
        return 1;
    }
    if (options.page >= 0) {
        window.ShowPage(options.page);
    }
    window.CenterWindow();
    if (options.firstFrame) {
        window.ShowWindow(true);
        window.Render();
        const double fromMain = std::chrono::duration<double, std::milli>(
                                    std::chrono::steady_clock::now() - mainEntered)
                                    .count();
        std::printf(
            "first frame: %.1f ms after main, %.0f ms after process start (%s, %llu frames)\n",
            fromMain, MsSinceProcessStart(), runtime.IsHeadless() ? "headless" : "display",
            static_cast<unsigned long long>(window.FramesRendered()));
        return window.FramesRendered() > 0 ? 0 : 1;
    }
    if (headless) {
        Ui::TestDriver driver(window);
        driver.Pump();
        if (options.frames > 0) {
            // One frame per span of the animation (30 ms in the shipped skin).
            int span = 30;
            if (auto* animation = window.FindControlAs<CSequenceLabelUI>(L"progressAnLb")) {
                span = animation->GetSequenceSpan();
            }
            driver.Advance(static_cast<uint64_t>(options.frames) * span);
        }
        window.Render();
        const bool ok =
            options.shadow ? SaveWithShadow(window, options.png) : window.SaveFramePng(options.png);
        if (!ok) {
            std::fprintf(stderr, "skinview: cannot write %s\n", options.png.c_str());
            return 1;
        }
        std::printf("skinview: %ls -> %s\n", options.skin.c_str(), options.png.c_str());
        return 0;
    }
    window.ShowModal();
    return 0;
}
