// Compositing and scaling of icon pictures, checked against hand-computed pixels. (Decoding
// and the files around the pictures are checked through quorvane-icons, in tool_tests.py.)
#include "quorvane/icons/Drawing.h"
#include "quorvane/icons/IconBitmap.h"
#include "quorvane/icons/Scaling.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace quorvane::icons;

namespace {

constexpr std::uint32_t kRed = 0xFFFF0000;
constexpr std::uint32_t kGreen = 0xFF00FF00;
constexpr std::uint32_t kBlue = 0xFF0000FF;
constexpr std::uint32_t kWhite = 0xFFFFFFFF;
constexpr std::uint32_t kBlack = 0xFF000000;
constexpr std::uint32_t kClear = 0x00000000;

using Pixels = std::vector<std::uint32_t>;
using Mask = std::vector<std::uint8_t>;

// A picture from pixels 0xAARRGGBB, top-down, and a mask, 1 where the screen shows through;
// with alpha when any pixel is not opaque.
IconBitmap makePicture(int w, int h, Pixels pixels, Mask mask = {}) {
    const bool alpha =
        std::any_of(pixels.begin(), pixels.end(), [](auto p) { return p >> 24 != 0xFF; });
    return *IconBitmap::fromPixels(w, h, std::move(pixels), std::move(mask), alpha);
}

// The picture drawn at (x, y) on a size x size surface of one colour.
Pixels drawOn(std::uint32_t background, const IconBitmap& icon, int x = 0, int y = 0,
              int size = 32) {
    Pixels surface(std::size_t(size) * std::size_t(size), background);
    drawIconBitmap(Surface{surface.data(), size, size, size}, x, y, icon);
    return surface;
}

} // namespace

TEST(Compositing, AlphaBlendsMaskInvertsAndClips) {
    struct Case {
        const char* name;
        std::uint32_t colour;
        std::uint8_t mask;
        bool alpha;
        std::uint32_t background;
        std::uint32_t expected;
    };
    const Case cases[] = {
        // alpha 0x80 black over white
        {"half black", 0x80000000, 0, true, kWhite, 0xFF7F7F7F},
        {"half red", 0x80FF0000, 0, true, kBlue, 0xFF80007F},
        // rounded to nearest: (1 * 128 + 127) / 255
        {"rounding", 0x80010101, 0, true, kBlack, 0xFF010101},
        // alpha 0 leaves the background
        {"clear", 0x00123456, 0, true, kGreen, kGreen},
        // alpha ignores the mask
        {"alpha, masked", kRed, 1, true, kGreen, kRed},
        // mask 0 paints the colour
        {"opaque", kRed, 0, false, kGreen, kRed},
        // mask 1 with black leaves the background
        {"transparent", kBlack, 1, false, 0xFF123456, 0xFF123456},
        // mask 1 with white inverts
        {"inverting", kWhite, 1, false, 0xFF123456, 0xFFEDCBA9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        IconBitmap icon = makePicture(32, 32, Pixels(32 * 32, c.colour), Mask(32 * 32, c.mask));
        icon.setHasAlpha(c.alpha);
        EXPECT_EQ(drawOn(c.background, icon)[0], c.expected);
    }
    // Only the icon's bottom-left corner, 5 columns by 1 row, lands on the surface.
    Pixels expected(35 * 35, kWhite);
    std::fill_n(expected.begin() + 30, 5, kRed);
    const IconBitmap red = makePicture(32, 32, Pixels(32 * 32, kRed));
    EXPECT_EQ(drawOn(kWhite, red, 30, -31, 35), expected);
}

TEST(Scaling, EnlargesByWholePixelsAndShrinksWithoutBleeding) {
    // A picture, the size it is scaled to, and what it draws on green.
    struct Case {
        const char* name;
        int w, h;
        Pixels pixels;
        Mask mask;
        int tw, th;
        Pixels drawn;
    };
    const Case cases[] = {
        // twice as large: each pixel a 2x2 block
        {"x2", 2, 1, {kRed, kBlue}, {}, 4, 2, {kRed, kRed, kBlue, kBlue, kRed, kRed, kBlue, kBlue}},
        // halved in premultiplied alpha: the clear pixel lends no colour
        {"halved", 2, 1, {kRed, kClear}, {}, 1, 1, {0xFF807F00}},
        // Without alpha, the colours under the mask are the screen's: they must not bleed in.
        // Opaque at the centre: the opaque colour alone.
        {"opaque centre", 2, 2, {kBlack, kBlack, kBlack, kRed}, {1, 1, 1, 0}, 1, 1, {kRed}},
        // clear at the centre: no colour
        {"clear centre", 2, 2, {kRed, kRed, kRed, kBlack}, {0, 0, 0, 1}, 1, 1, {kGreen}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto scaled = scaleTo(makePicture(c.w, c.h, c.pixels, c.mask), c.tw, c.th);
        ASSERT_TRUE(scaled);
        Pixels drawn = drawOn(kGreen, *scaled, 0, 0, c.tw);
        drawn.resize(c.drawn.size());
        EXPECT_EQ(drawn, c.drawn);
    }
}
