// glyphora-skinview end to end: every description of the embedded package, a 7z file and a
// folder render headless to PNG files of the window's size; bad input fails with exit 1.
#include <gtest/gtest.h>

#include <cairo.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/utils/temp_dir.h"

namespace {

namespace fs = std::filesystem;

fs::path Bin() {
    const char* bin = std::getenv("GLYPHORA_BIN");
    std::error_code ec;
    return bin != nullptr ? fs::path(bin) : fs::read_symlink("/proc/self/exe", ec).parent_path();
}

// Runs skinview with `args` (no display needed), returns its exit status and output.
int SkinView(const std::string& args, std::string* output = nullptr) {
    const std::string command = "GLYPHORA_TRACE=off GLYPHORA_UI_BACKEND=headless '" +
                                (Bin() / "glyphora-skinview").string() + "' " + args + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return -1;
    }
    std::string text;
    char buffer[512];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        text.append(buffer, n);
    }
    const int status = pclose(pipe);
    if (output != nullptr) {
        *output = text;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::pair<int, int> PngSize(const std::string& path) {
    cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
    std::pair<int, int> size{0, 0};
    if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
        size = {cairo_image_surface_get_width(s), cairo_image_surface_get_height(s)};
    }
    cairo_surface_destroy(s);
    return size;
}

TEST(SkinViewTest, RendersEveryDescriptionFromEverySource) {
    TestSupport::TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    const std::string source = std::getenv("GLYPHORA_SOURCE") != nullptr
                                   ? std::getenv("GLYPHORA_SOURCE")
                                   : (Bin().parent_path().parent_path()).string();
    const fs::path package = Bin().parent_path() / "skin.7z";
    const struct {
        std::string sourceArgs;
        const char* skin;
        const char* extra;
        int width, height;
    } cases[] = {
        {"", "mainWnd.xml", "--page 0", 600, 400},
        {"", "MainWnd.xml", "--page 2 --progress 50 --frame 10", 600, 400},
        {"", "MessageBox1Wnd.xml", "--text hello --caption title", 360, 180},
        {"", "MessageBox2Wnd.xml", "", 360, 180},
        {"", "ExitTipWnd.xml", "", 360, 180},
        {"", "InstalledPathTipWnd.xml", "", 360, 180},
        {"", "NetworkTipWnd.xml", "", 360, 180},
        {"--package '" + package.string() + "'", "mainWnd.xml", "--page 3", 600, 400},
        {"--folder '" + source + "/ui/skin'", "exitTipWnd.xml", "", 360, 180},
    };
    int i = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.skin) + " " + c.sourceArgs + " " + c.extra);
        const std::string png = dir.File("w" + std::to_string(i++) + ".png");
        std::string output;
        EXPECT_EQ(
            SkinView(c.sourceArgs + " --skin " + c.skin + " " + c.extra + " --png '" + png + "'",
                     &output),
            0)
            << output;
        EXPECT_EQ(PngSize(png), std::make_pair(c.width, c.height));
        // With the shadow the picture grows by the shadow's margin (size 6, offset 1,1).
        const std::string shadowed = png + ".shadow.png";
        EXPECT_EQ(
            SkinView(c.sourceArgs + " --skin " + c.skin + " --png '" + shadowed + "' --shadow"), 0);
        const auto grown = PngSize(shadowed);
        EXPECT_GT(grown.first, c.width);
        EXPECT_GT(grown.second, c.height);
    }
}

TEST(SkinViewTest, BadInputFails) {
    TestSupport::TempDir dir;
    const std::string notAPackage = dir.Write("junk.7z", "this is not a 7z archive");
    const struct {
        std::string args;
        int status;
    } cases[] = {
        {"--skin NoSuchWnd.xml --png '" + dir.File("a.png") + "'", 1},
        {"--package '" + notAPackage + "' --png '" + dir.File("b.png") + "'", 1},
        {"--package '" + dir.File("missing.7z") + "' --list", 1},
        {"--folder '" + dir.File("nofolder") + "' --list", 1},
        {"--bogus", 2},
        {"--skin", 2},
    };
    for (const auto& c : cases) {
        std::string output;
        EXPECT_EQ(SkinView(c.args, &output), c.status) << c.args << "\n" << output;
    }
    EXPECT_FALSE(fs::exists(dir.File("a.png")));
}

TEST(SkinViewTest, ListsThePackage) {
    std::string output;
    ASSERT_EQ(SkinView("--list", &output), 0);
    size_t lines = 0;
    for (char ch : output) {
        lines += ch == '\n';
    }
    EXPECT_EQ(lines, 162u);
    EXPECT_NE(output.find("res/mainWnd/installBtnAnimate/099.png"), std::string::npos);
}

}  // namespace
