// Drawing icon pictures onto a 32-bit surface, as the screen shows them.
#pragma once

#include "quorvane/icons/IconBitmap.h"

#include <cstddef>
#include <cstdint>

namespace quorvane::icons {

// A 32-bit drawing surface (0xAARRGGBB pixels) owned by someone else.
struct Surface {
    std::uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0; // in pixels
};

// Draws the icon with its top-left corner at (x, y), clipped to the surface. Alpha icons
// blend, out = (c*a + dst*(255-a) + 127) / 255 (rounded to nearest); others apply
// dst = (dst AND mask) XOR colour.
void drawIconBitmap(Surface surface, int x, int y, const IconBitmap& icon);

} // namespace quorvane::icons
