// Geometry of the pop-up that shows the IME just switched to. bx and by are
// the dialog base units (average width and height of the system font).
#pragma once

struct Box { int left, top, right, bottom; };

struct FlashPlace { int x, y, width, height; };

// Centred on a screen of screenWidth x screenHeight, 60 x 6 base units.
FlashPlace PlaceFlash(int bx, int by, int screenWidth, int screenHeight);

struct FlashLayout {
    int shadowWidth, shadowHeight;
    Box body;              // filled and outlined in black
    Box raised;            // outer raised frame
    Box sunken;            // inner sunken frame
    Box content;           // icon and name
    FlashPlace bottomShadow, rightShadow;
    int iconX, iconY;      // top-left corner of the 32 x 32 icon
};

FlashLayout LayoutFlash(const Box &client, int bx, int by);

// Where the name goes: centred in the content when it fits between the icon
// margins (returns 1), else left-aligned after the icon (returns 0).
int PlaceFlashText(const Box &content, int bx, int textWidth, Box *textBox);
