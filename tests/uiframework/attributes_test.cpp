#include "uiframework/attributes.h"

#include <gtest/gtest.h>

namespace {

using Ui::ParseColor;

TEST(AttributesTest, Colours) {
    struct Case {
        const wchar_t* text;
        uint32_t want;
    } cases[] = {
        {L"#FF00B0A6", 0xFF00B0A6},
        {L"0xFF4BC6BF", 0xFF4BC6BF},
        {L"0XFF038A82", 0xFF038A82},
        {L"#26003B76", 0x26003B76},
        {L"#ff303f56", 0xFF303F56},
        {L"#FF0000", 0x00FF0000},
        {L"#00000000", 0},
        {L"", 0},
        {L"red", 0},
        {L"#FFFFFFFF1", 0xFFFFFFFF},  // a ninth digit does not shift the value away
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseColor(c.text), c.want)
            << "colour \"" << std::wstring(c.text).size() << "\" case";
    }
}

TEST(AttributesTest, IntegersListsAndBooleans) {
    EXPECT_EQ(Ui::ParseInt(L"158"), 158);
    EXPECT_EQ(Ui::ParseInt(L"-20"), -20);
    EXPECT_EQ(Ui::ParseInt(L"12px"), 12);
    EXPECT_EQ(Ui::ParseInt(L"x"), 0);
    EXPECT_EQ(Ui::ParseInt(L"99999999999"), 2147483647);
    EXPECT_EQ(Ui::ParseRect(L"26,0,0,0"), (Ui::Rect{26, 0, 0, 0}));
    EXPECT_EQ(Ui::ParseRect(L"0,35,0,0"), (Ui::Rect{0, 35, 0, 0}));
    EXPECT_EQ(Ui::ParseRect(L"1,2"), (Ui::Rect{1, 2, 0, 0}));
    EXPECT_EQ(Ui::ParseSize(L"600,400"), (Ui::Size{600, 400}));
    EXPECT_EQ(Ui::ParsePoint(L"1,-1"), (Ui::Point{1, -1}));
    EXPECT_TRUE(Ui::ParseBool(L"true"));
    for (const wchar_t* f : {L"false", L"True", L"1", L"", L"yes"})
        EXPECT_FALSE(Ui::ParseBool(f));
}

TEST(AttributesTest, ImageStrings) {
    Ui::ImageSpec bare = Ui::ParseImageSpec(L"res\\mainWnd\\bg1.png");
    EXPECT_EQ(bare.file, L"res\\mainWnd\\bg1.png");
    EXPECT_TRUE(bare.dest.IsEmpty());
    EXPECT_EQ(bare.fade, 255);

    Ui::ImageSpec full = Ui::ParseImageSpec(
        L"file='res\\mainWnd\\installPrg2.png' corner='2,2,2,2' mask='#FF0000' fade='128' "
        L"hole='true' xtiled='true' ytiled='false' dest='0,2,16,18' unknown='x'");
    EXPECT_EQ(full.file, L"res\\mainWnd\\installPrg2.png");
    EXPECT_EQ(full.corner, (Ui::Rect{2, 2, 2, 2}));
    EXPECT_TRUE(full.hasMask);
    EXPECT_EQ(full.mask, 0xFF0000u);
    EXPECT_EQ(full.fade, 128);
    EXPECT_TRUE(full.hole);
    EXPECT_TRUE(full.xTiled);
    EXPECT_FALSE(full.yTiled);
    EXPECT_EQ(full.dest, (Ui::Rect{0, 2, 16, 18}));

    Ui::ImageSpec dq = Ui::ParseImageSpec(L"file=\"a b.png\" fade='300'");
    EXPECT_EQ(dq.file, L"a b.png");
    EXPECT_EQ(dq.fade, 255);  // clamped

    Ui::ImageSpec broken = Ui::ParseImageSpec(L"file='x.png' dest='1,2");
    EXPECT_EQ(broken.file, L"x.png");  // an unterminated value ends parsing, keeps the rest
    EXPECT_TRUE(broken.dest.IsEmpty());
}

}  // namespace
