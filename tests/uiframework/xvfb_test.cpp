// The same window drawn on a real X server (Xvfb, through SDL2) and headless gives the
// same picture: the X screenshot is taken with ImageMagick's `import`.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cairo.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "tests/uiframework/ui_test_support.h"
#include "uiframework/pump_messages.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

const char kXml[] = R"(<Window size="240,160" caption="0,0,0,30" roundcorner="8,8">
  <Font id="0" name="微软雅黑" size="14" default="true"/>
  <Font id="1" name="微软雅黑" size="22"/>
  <VerticalLayout bkcolor="#FFF5FAFE">
    <HorizontalLayout height="30" bkcolor="#FF00B0A6">
      <Label text="温馨提示" textcolor="#FFFFFFFF" padding="10,0,0,0" width="120"/><Control/>
      <Button name="closebtn" width="16" height="16" padding="0,7,8,0" normalimage="res/close.png"/>
    </HorizontalLayout>
    <Label text="安装完成 Lexivo" font="1" align="center" textcolor="#FF303F56" height="50"/>
    <HorizontalLayout height="8" padding="20,0,20,0">
      <Progress name="prg" value="60" bkimage="file='res/track.png' corner='2,2,2,2'" foreimage="file='res/fill.png' corner='2,2,2,2'"/>
    </HorizontalLayout>
    <Control/>
    <HorizontalLayout height="30"><Control/>
      <Button name="okBtn" width="100" text="是" bkcolor="#FF00B0A6" borderround="4,4" textcolor="#FFFFFFFF"/>
      <Control width="20"/></HorizontalLayout>
    <Control height="10"/>
  </VerticalLayout></Window>)";

std::shared_ptr<Ui::MemoryResourceSource> Files() {
    auto src = std::make_shared<Ui::MemoryResourceSource>();
    src->Add(L"w.xml", kXml);
    src->Add(L"res/close.png", uitest::MakePng(16, 16, [](int x, int y) {
                 return (x == y || x == 15 - y) ? 0xFF666666u : 0x00000000u;
             }));
    src->Add(L"res/track.png", uitest::SolidPng(6, 6, 0xFFDDE3EA));
    src->Add(L"res/fill.png",
             uitest::MakePng(6, 6, [](int x, int) { return x < 3 ? 0xFF00B0A6u : 0xFF4BC6BFu; }));
    return src;
}

class Xvfb {
public:
    ~Xvfb() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    /// Starts Xvfb on a display number it picks itself (-displayfd); false when it fails.
    bool Start() {
        int fds[2];
        if (pipe(fds) != 0)
            return false;
        std::string fd = std::to_string(fds[1]);
        const char* argv[] = {"Xvfb",     "-displayfd", fd.c_str(),  "-screen",
                              "0",        "640x480x24", "-nolisten", "tcp",
                              "-noreset", "-wr",        nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        int rc = posix_spawnp(&pid_, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        if (rc != 0) {
            pid_ = -1;
            close(fds[0]);
            return false;
        }
        // The server writes its display number once it accepts connections; wait 10 s.
        std::string number;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        fcntl(fds[0], F_SETFL, O_NONBLOCK);
        while (std::chrono::steady_clock::now() < deadline) {
            char buf[16];
            ssize_t n = read(fds[0], buf, sizeof buf);
            if (n > 0)
                number.append(buf, static_cast<size_t>(n));
            if (!number.empty() && number.back() == '\n')
                break;
            if (n == 0)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        close(fds[0]);
        while (!number.empty() && (number.back() == '\n'))
            number.pop_back();
        if (number.empty())
            return false;
        display_ = ":" + number;
        return true;
    }
    const std::string& Display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

bool OnPath(const char* tool) {
    std::string cmd = std::string("command -v ") + tool + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

uint32_t Argb(cairo_surface_t* s, int x, int y) {
    const unsigned char* d = cairo_image_surface_get_data(s);
    return *reinterpret_cast<const uint32_t*>(d + y * cairo_image_surface_get_stride(s) + x * 4);
}

uint32_t Rgb(cairo_surface_t* s, int x, int y) {
    return Argb(s, x, y) & 0xFFFFFF;
}

TEST(XvfbTest, SamePictureOnXAndHeadless) {
    if (!OnPath("Xvfb"))
        GTEST_SKIP() << "Xvfb is not installed (package xvfb): X comparison skipped";
    if (!OnPath("import"))
        GTEST_SKIP() << "ImageMagick's import is not installed: X comparison skipped";
    char tmpl[] = "/tmp/uifw-xvfb-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    fs::path dir = tmpl;

    // Headless picture first.
    cairo_surface_t* headless = nullptr;
    {
        Ui::RuntimeOptions o;
        o.backend = Ui::BackendKind::kHeadless;
        o.resources = Files();
        Ui::Runtime rt(o);
        uitest::TestWindow w(L"w.xml");
        ASSERT_TRUE(w.Create(nullptr, L"t"));
        w.Render();
        ASSERT_TRUE(w.SaveFramePng((dir / "headless.png").string()));
    }
    headless = cairo_image_surface_create_from_png((dir / "headless.png").c_str());

    Xvfb x;
    ASSERT_TRUE(x.Start()) << "Xvfb did not start";
    std::string oldDisplay = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    setenv("DISPLAY", x.Display().c_str(), 1);
    Ui::Point pos{37, 41};
    {
        Ui::RuntimeOptions o;
        o.backend = Ui::BackendKind::kSdl;
        o.resources = Files();
        Ui::Runtime rt(o);
        ASSERT_FALSE(rt.IsHeadless()) << "SDL could not open " << x.Display();
        uitest::TestWindow w(L"w.xml");
        ASSERT_TRUE(w.Create(nullptr, L"t"));
        w.MoveTo(pos);
        w.ShowWindow(true);
        for (int i = 0; i < 5; ++i)
            Utils::PumpMessages(w.Handle());  // map, expose, present
        w.Invalidate({0, 0, 240, 160});
        w.Render();
        Utils::PumpMessages(w.Handle());
        pos = w.GetPosition();
        std::string cmd = "timeout 30 import -display " + x.Display() + " -window root " +
                          (dir / "x.png").string() + " 2>/dev/null";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    }
    if (oldDisplay.empty())
        unsetenv("DISPLAY");
    else
        setenv("DISPLAY", oldDisplay.c_str(), 1);

    cairo_surface_t* shot = cairo_image_surface_create_from_png((dir / "x.png").c_str());
    ASSERT_EQ(cairo_surface_status(shot), CAIRO_STATUS_SUCCESS);
    ASSERT_EQ(cairo_surface_status(headless), CAIRO_STATUS_SUCCESS);
    ASSERT_GE(cairo_image_surface_get_width(shot), pos.x + 240);
    // Pixels wholly inside the window's rounded shape must match exactly; at the corners
    // the X server shows what lies behind the shaped window.
    int differing = 0, compared = 0, firstX = -1, firstY = -1;
    for (int y = 0; y < 160; ++y) {
        for (int xx = 0; xx < 240; ++xx) {
            if ((Argb(headless, xx, y) >> 24) != 0xFF)
                continue;
            ++compared;
            if (Rgb(headless, xx, y) != Rgb(shot, pos.x + xx, pos.y + y)) {
                if (differing++ == 0) {
                    firstX = xx;
                    firstY = y;
                }
            }
        }
    }
    EXPECT_GT(compared, 240 * 160 - 100) << "only the corners are left out";
    EXPECT_EQ(differing, 0) << "first difference at " << firstX << "," << firstY << std::hex
                            << ": headless 0x" << (firstX >= 0 ? Rgb(headless, firstX, firstY) : 0)
                            << ", X 0x"
                            << (firstX >= 0 ? Rgb(shot, pos.x + firstX, pos.y + firstY) : 0);
    // The rounded corner is cut out of the native window: the white root shows there.
    EXPECT_EQ(Rgb(shot, pos.x, pos.y), 0xFFFFFFu);
    EXPECT_EQ(Rgb(shot, pos.x + 239, pos.y + 159), 0xFFFFFFu);
    // The picture is not trivially empty: the title bar colour is there.
    EXPECT_EQ(Rgb(shot, pos.x + 200, pos.y + 2), 0x00B0A6u);
    cairo_surface_destroy(shot);
    cairo_surface_destroy(headless);
    fs::remove_all(dir);
}

}  // namespace
