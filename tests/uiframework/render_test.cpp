#include <gtest/gtest.h>

#include "tests/uiframework/ui_test_support.h"
#include "uiframework/image_cache.h"
#include "uiframework/text_layout.h"

namespace {

using uitest::UiTest;

constexpr uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kWhite = 0xFFFFFFFF;

// 10 x 10: 3-pixel corners red, edges blue, centre green.
uint32_t NineSliceColour(int x, int y) {
    bool edgeX = x < 3 || x >= 7, edgeY = y < 3 || y >= 7;
    if (edgeX && edgeY)
        return kRed;
    if (edgeX || edgeY)
        return kBlue;
    return kGreen;
}

class RenderTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        AddFile(L"res/nine.png", uitest::MakePng(10, 10, NineSliceColour));
        AddFile(L"res/redblue.png",
                uitest::MakePng(4, 4, [](int x, int) { return x < 2 ? kRed : kBlue; }));
        AddFile(L"res/blue.png", uitest::SolidPng(4, 4, kBlue));
        AddFile(L"res/green.png", uitest::SolidPng(4, 4, kGreen));
    }
};

// Each image control sits at the left of its own 40-pixel row over a white background.
const char kImagesXml[] = R"(<Window size="200,400" roundcorner="10,10">
  <VerticalLayout bkcolor="#FFFFFFFF">
    <Control height="10"/>
    <HorizontalLayout height="40"><Label name="stretch" width="40" bkimage="res\nine.png"/><Control/></HorizontalLayout>
    <HorizontalLayout height="40"><Label name="nine" width="40" bkimage="file='RES\NINE.png' corner='3,3,3,3'"/><Control/></HorizontalLayout>
    <HorizontalLayout height="40"><Label name="hole" width="40" bkimage="file='res/nine.png' corner='3,3,3,3' hole='true'"/><Control/></HorizontalLayout>
    <HorizontalLayout height="40"><Label name="mask" width="40" bkimage="file='res/redblue.png' mask='#FF0000'"/><Control/></HorizontalLayout>
    <HorizontalLayout height="40"><Label name="fade" width="40" bkimage="file='res/blue.png' fade='128'"/><Control/></HorizontalLayout>
    <HorizontalLayout height="40"><Label name="dest" width="40" bkimage="file='res/blue.png' dest='0,2,16,18'"/><Control/></HorizontalLayout>
    <HorizontalLayout height="40"><Label name="tiled" width="16" height="4" bkimage="file='res/redblue.png' xtiled='true'"/><Control/></HorizontalLayout>
    <HorizontalLayout height="40"><Progress name="prg" width="100" bkimage="res/blue.png" foreimage="file='res/green.png'" value="30"/><Control/></HorizontalLayout>
    <HorizontalLayout height="40"><Label name="round" width="40" bkcolor="#FF0000FF" borderround="20,20"/><Label name="missing" width="40" bkcolor="#FF00FF00" bkimage="res/none.png"/><Control/></HorizontalLayout>
    <Control/>
  </VerticalLayout></Window>)";

TEST_F(RenderTest, ImageStringsOnPixels) {
    auto w = Open(L"img.xml", kImagesXml);
    Ui::TestDriver d(*w);
    struct Case {
        const wchar_t* control;
        int x, y;  // relative to the control
        uint32_t want;
        const char* why;
    } cases[] = {
        {L"stretch", 1, 1, kRed, "corner colour"},
        {L"stretch", 6, 6, kRed, "stretched: the 3-pixel corner grows to 12 pixels"},
        {L"nine", 1, 1, kRed, "nine-slice: corner kept"},
        {L"nine", 6, 6, kGreen, "nine-slice: corner not scaled, centre there"},
        {L"nine", 20, 1, kBlue, "top edge"},
        {L"nine", 38, 38, kRed, "bottom-right corner"},
        {L"hole", 20, 20, kWhite, "centre left out"},
        {L"hole", 20, 1, kBlue, "edges still drawn"},
        {L"mask", 5, 20, kWhite, "mask colour transparent"},
        {L"mask", 35, 20, kBlue, "other colours kept"},
        {L"dest", 8, 10, kBlue, "inside dest"},
        {L"dest", 8, 1, kWhite, "above dest"},
        {L"dest", 20, 10, kWhite, "right of dest"},
        {L"tiled", 1, 1, kRed, "first tile"},
        {L"tiled", 5, 1, kRed, "second tile starts red again"},
        {L"tiled", 6, 1, kBlue, "tile blue half (stretching would give red)"},
        {L"prg", 25, 20, kGreen, "filled 30 of 100"},
        {L"prg", 35, 20, kBlue, "rest is the background image"},
        {L"round", 20, 20, 0xFF0000FF, "inside the rounded fill"},
        {L"round", 0, 0, kWhite, "corner outside the ellipse"},
        {L"missing", 20, 20, kGreen, "a missing image draws nothing"},
    };
    for (const auto& c : cases) {
        Ui::Control* ctl = w->FindControl(c.control);
        ASSERT_NE(ctl, nullptr);
        uint32_t got = d.Pixel(ctl->GetPos().left + c.x, ctl->GetPos().top + c.y);
        EXPECT_EQ(got, c.want) << c.why << std::hex << ": got 0x" << got;
    }
    // fade 128 of blue over white
    uint32_t faded = d.Pixel(w->FindControl(L"fade")->GetPos().left + 20,
                             w->FindControl(L"fade")->GetPos().top + 20);
    EXPECT_NEAR(static_cast<int>((faded >> 16) & 0xFF), 127, 2);
    EXPECT_EQ(faded & 0xFF, 0xFFu);
    // The window's own rounded corner is transparent, its inside opaque.
    EXPECT_EQ(d.Pixel(0, 0) >> 24, 0u);
    EXPECT_EQ(d.Pixel(199, 399) >> 24, 0u);
    EXPECT_EQ(d.Pixel(100, 390), kWhite);
}

TEST_F(RenderTest, ChineseTextHasNoMissingGlyphs) {
    Ui::FontInfo font{L"微软雅黑", 14};
    for (const wchar_t* text :
         {L"立即安装", L"正在安装中:0%，请稍候...", L"您确定要退出安装吗？", L"加载资源文件失败"}) {
        EXPECT_EQ(Ui::CountUnknownGlyphs(font, text), 0);
    }
    std::string family = Ui::ResolvedFamily(font);
    EXPECT_TRUE(family.find("WenQuanYi") != std::string::npos ||
                family.find("Noto Sans CJK") != std::string::npos)
        << "微软雅黑 resolved to " << family;
    // Pixel sizes: a 40-pixel font is about 40 pixels tall, a 14-pixel one much smaller.
    Ui::Size big = Ui::MeasureTextExtent({L"微软雅黑", 40}, L"安装完成");
    Ui::Size small = Ui::MeasureTextExtent({L"微软雅黑", 14}, L"安装完成");
    EXPECT_GE(big.cy, 40);
    EXPECT_LE(big.cy, 60);
    EXPECT_NEAR(big.cx, 160, 8);  // four full-width characters of 40 pixels
    EXPECT_LT(small.cy, 25);
}

const char kTextXml[] = R"(<Window size="200,120">
  <Font id="0" name="微软雅黑" size="14" default="true"/>
  <VerticalLayout bkcolor="#FFFFFFFF">
    <Label name="left" height="30" text="安装" textcolor="#FF000000" align="left"/>
    <Label name="right" height="30" text="安装" textcolor="#FF000000" align="right" textpadding="0,0,10,0"/>
    <Label name="wrap" height="60" text="这是一段需要换行显示的很长很长的文字内容" textcolor="#FF000000" multiline="true"/>
  </VerticalLayout></Window>)";

// Columns of the control holding at least one dark pixel.
std::pair<int, int> InkColumns(Ui::TestDriver& d, const Ui::Rect& r, int* rows = nullptr) {
    int first = -1, last = -1;
    int lastRow = -1, firstRow = -1;
    for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) {
            if (((d.Pixel(x, y) >> 8) & 0xFF) < 128) {
                if (first < 0 || x < first)
                    first = x;
                if (x > last)
                    last = x;
                if (firstRow < 0)
                    firstRow = y;
                lastRow = y;
            }
        }
    }
    if (rows)
        *rows = lastRow - firstRow + 1;
    return {first, last};
}

TEST_F(UiTest, TextAlignmentPaddingAndWrapping) {
    auto w = Open(L"text.xml", kTextXml);
    Ui::TestDriver d(*w);
    auto left = InkColumns(d, w->FindControl(L"left")->GetPos());
    auto right = InkColumns(d, w->FindControl(L"right")->GetPos());
    ASSERT_GE(left.first, 0) << "left text drawn";
    ASSERT_GE(right.first, 0) << "right text drawn";
    EXPECT_LT(left.first, 3);
    EXPECT_GT(right.second, 200 - 10 - 4);
    EXPECT_LT(right.second, 200 - 10 + 1);  // textpadding keeps 10 pixels free
    int rows = 0;
    InkColumns(d, w->FindControl(L"wrap")->GetPos(), &rows);
    EXPECT_GT(rows, 20) << "a long multi-line text takes two lines";
}

TEST_F(RenderTest, OnlyTheChangedControlIsRepainted) {
    auto w = Open(L"img.xml", kImagesXml);
    w->Render();
    uint64_t frames = w->FramesRendered();
    w->Render();
    EXPECT_EQ(w->FramesRendered(), frames) << "nothing changed, nothing painted";
    auto* prg = w->FindControlAs<Ui::Progress>(L"prg");
    prg->SetValue(60);
    w->Render();
    EXPECT_EQ(w->LastPaintedRect(), prg->GetPos());
    // root, the row holding the bar, the bar, and the row's spacer beside it
    EXPECT_LE(w->LastPaintedControls(), 4);
    Ui::TestDriver d(*w);
    EXPECT_EQ(d.Pixel(prg->GetPos().left + 55, prg->GetPos().top + 20), kGreen);
    prg->SetValue(500);
    EXPECT_EQ(prg->GetValue(), 100);
    prg->SetValue(-5);
    EXPECT_EQ(prg->GetValue(), 0);
}

TEST_F(RenderTest, ImagesDecodeOncePerName) {
    auto w = Open(L"img.xml", kImagesXml);
    size_t cached = runtime_->Images().Size();
    auto w2 = Open(L"img2.xml", kImagesXml);
    EXPECT_EQ(runtime_->Images().Size(), cached);  // RES\NINE.png and res\nine.png are one
}

}  // namespace
