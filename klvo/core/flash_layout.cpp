#include "flash_layout.h"

FlashPlace PlaceFlash(int bx, int by, int screenWidth, int screenHeight)
{
    FlashPlace p;
    p.width = (short)(bx * 60);
    p.height = (short)(by * 6);
    p.x = (screenWidth - p.width) / 2;
    p.y = (screenHeight - p.height) / 2;
    return p;
}

static Box Shrink(const Box &b, int by)
{
    return Box{b.left + by, b.top + by, b.right - by, b.bottom - by};
}

FlashLayout LayoutFlash(const Box &rc, int bx, int by)
{
    FlashLayout l;
    int sw = bx * 6 / 4, sh = by * 6 / 8;
    l.shadowWidth = sw;
    l.shadowHeight = sh;
    l.body = Box{rc.left, rc.top, rc.right - sw, rc.bottom - sh};
    l.raised = Shrink(l.body, 1);
    l.sunken = Shrink(l.raised, bx / 2);
    l.content = Shrink(l.sunken, bx / 4 + 1);
    l.bottomShadow = FlashPlace{rc.left + sw, rc.bottom - sh, rc.right - sw - rc.left, sh};
    l.rightShadow = FlashPlace{rc.right - sw, rc.top + sh, sw, rc.bottom - 2 * sh - rc.top};
    l.iconX = l.content.left + bx * 6 / 4;
    l.iconY = (l.content.top + l.content.bottom) / 2 - 16;
    return l;
}

int PlaceFlashText(const Box &content, int bx, int textWidth, Box *textBox)
{
    int m = bx * 10 / 4;
    *textBox = content;
    if ((content.right - content.left) - 2 * m - 64 >= textWidth) return 1;
    textBox->left += m + 32;
    return 0;
}
