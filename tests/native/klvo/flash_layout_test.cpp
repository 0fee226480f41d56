// Geometry of the pop-up.
#include <gtest/gtest.h>
#include "core.h"

namespace {

TEST(FlashLayout, CentredOnTheScreen)
{
    FlashPlace p = PlaceFlash(8, 16, 640, 480);
    EXPECT_EQ(p.width, 480);
    EXPECT_EQ(p.height, 96);
    EXPECT_EQ(p.x, 80);
    EXPECT_EQ(p.y, 192);

    p = PlaceFlash(7, 13, 1024, 768);
    EXPECT_EQ(p.width, 420);
    EXPECT_EQ(p.height, 78);
    EXPECT_EQ(p.x, 302);
    EXPECT_EQ(p.y, 345);

    p = PlaceFlash(8, 16, 320, 200);        // wider than the screen: off its left edge
    EXPECT_EQ(p.x, -80);
}

TEST(FlashLayout, FramesShadowAndIcon)
{
    FlashLayout l = LayoutFlash(Box{0, 0, 480, 96}, 8, 16);
    EXPECT_EQ(l.shadowWidth, 12);
    EXPECT_EQ(l.shadowHeight, 12);
    EXPECT_EQ(l.body.right, 468);
    EXPECT_EQ(l.body.bottom, 84);
    EXPECT_EQ(l.raised.left, 1);
    EXPECT_EQ(l.raised.bottom, 83);
    EXPECT_EQ(l.sunken.left, 5);
    EXPECT_EQ(l.sunken.right, 463);
    EXPECT_EQ(l.content.left, 8);
    EXPECT_EQ(l.content.top, 8);
    EXPECT_EQ(l.content.right, 460);
    EXPECT_EQ(l.content.bottom, 76);
    // The strips leave the top-right and bottom-left corners alone.
    EXPECT_EQ(l.bottomShadow.x, 12);
    EXPECT_EQ(l.bottomShadow.y, 84);
    EXPECT_EQ(l.bottomShadow.width, 468);
    EXPECT_EQ(l.bottomShadow.height, 12);
    EXPECT_EQ(l.rightShadow.x, 468);
    EXPECT_EQ(l.rightShadow.y, 12);
    EXPECT_EQ(l.rightShadow.width, 12);
    EXPECT_EQ(l.rightShadow.height, 72);
    EXPECT_EQ(l.iconX, 20);
    EXPECT_EQ(l.iconY, 26);
}

TEST(FlashLayout, NameCentredWhenItFitsElseAfterTheIcon)
{
    Box content = {8, 8, 460, 76};          // 452 wide; margins 2 x 20 + 64
    Box text;
    EXPECT_EQ(PlaceFlashText(content, 8, 348, &text), 1);
    EXPECT_EQ(text.left, 8);
    EXPECT_EQ(text.right, 460);
    EXPECT_EQ(PlaceFlashText(content, 8, 349, &text), 0);
    EXPECT_EQ(text.left, 60);
    EXPECT_EQ(text.right, 460) << "clipped at the content's right edge";
}

}  // namespace
