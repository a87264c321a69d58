// Compositing and scaling of icon pictures, checked against hand-computed pixels. (Decoding
// and the files around the pictures are checked through quorvane-icons, in tool_tests.py.)
#include "IconImage.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace quorvane::icons;

namespace {

constexpr std::uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF,
                        kWhite = 0xFFFFFFFF, kBlack = 0xFF000000;

// A picture from pixels 0xAARRGGBB, top-down, and a mask, 1 where the screen shows through.
IconBitmap makePicture(int w, int h, std::vector<std::uint32_t> pixels,
                       std::vector<std::uint8_t> mask = {}) {
    const bool alpha =
        std::any_of(pixels.begin(), pixels.end(), [](auto p) { return p >> 24 != 0xFF; });
    return *IconBitmap::fromPixels(w, h, std::move(pixels), std::move(mask), alpha);
}

IconBitmap flatPicture(int w, int h, std::uint32_t colour) {
    return makePicture(w, h, std::vector<std::uint32_t>(std::size_t(w) * h, colour));
}

// The picture at 32x32, as the program draws icons.
IconBitmap scaled(const IconBitmap& picture) {
    return *scaleTo(picture, kIconSize, kIconSize);
}

std::vector<std::uint32_t> drawOn(std::uint32_t background, const IconBitmap& icon, int x = 0,
                                  int y = 0, int size = 32) {
    std::vector<std::uint32_t> surface(std::size_t(size) * size, background);
    drawIconBitmap(Surface{surface.data(), size, size, size}, x, y, icon);
    return surface;
}

} // namespace

TEST(Compositing, AlphaBlendsMaskInvertsAndClips) {
    // colour, mask, alpha, background, expected
    const std::tuple<std::uint32_t, std::uint8_t, bool, std::uint32_t, std::uint32_t> cases[] = {
        {0x80000000, 0, true, kWhite, 0xFF7F7F7F}, // alpha 0x80 black over white
        {0x80FFFFFF, 0, true, kBlack, 0xFF808080},
        {0x80FF0000, 0, true, kBlue, 0xFF80007F},
        {0x80010101, 0, true, kBlack, 0xFF010101},  // rounded to nearest: (1 * 128 + 127) / 255
        {0x00123456, 0, true, kGreen, kGreen},      // alpha 0 leaves the background
        {0xFFFF0000, 1, true, kGreen, kRed},        // alpha ignores the mask
        {kRed, 0, false, kGreen, kRed},             // mask 0 paints the colour
        {kBlack, 1, false, 0xFF123456, 0xFF123456}, // mask 1 with black leaves the background
        {kWhite, 1, false, 0xFF123456, 0xFFEDCBA9}, // mask 1 with white inverts
    };
    for (const auto& [colour, mask, alpha, background, expected] : cases) {
        IconBitmap icon = makePicture(32, 32, std::vector<std::uint32_t>(32 * 32, colour),
                                      std::vector<std::uint8_t>(32 * 32, mask));
        icon.setHasAlpha(alpha);
        EXPECT_EQ(drawOn(background, icon)[0], expected) << std::hex << colour;
    }
    // Only the icon's bottom-left corner, 5 columns by 1 row, lands on the surface.
    std::vector<std::uint32_t> expected(35 * 35, kWhite);
    std::fill_n(expected.begin() + 30, 5, kRed);
    EXPECT_EQ(drawOn(kWhite, flatPicture(32, 32, kRed), 30, -31, 35), expected);
    EXPECT_EQ(drawOn(kWhite, flatPicture(32, 32, kRed), 1000, 1000, 35),
              std::vector<std::uint32_t>(35 * 35, kWhite));
}

TEST(Scaling, GrowsByWholeFactorsAndAveragesOtherwise) {
    // 16x16 grows to 32x32 by pixel replication: (3, 5) becomes (6..7, 10..11).
    std::vector<std::uint32_t> small(16 * 16, kBlue);
    small[5 * 16 + 3] = kGreen;
    auto grown = scaled(makePicture(16, 16, small)).pixels();
    EXPECT_EQ(std::tuple(grown[10 * 32 + 6], grown[11 * 32 + 7], grown[12 * 32 + 6]),
              std::tuple(kGreen, kGreen, kBlue));
    // 64x64 halves: each output pixel averages a 2x2 block.
    std::vector<std::uint32_t> big(64 * 64, kWhite);
    big[0] = kBlack;
    auto halved = scaled(makePicture(64, 64, big)).pixels();
    EXPECT_EQ(std::pair(halved[0], halved[1]), std::pair(0xFFBFBFBFu, kWhite)); // (3 * 255) / 4
    // Premultiplied averaging: transparent pixels do not darken the colour.
    std::vector<std::uint32_t> edge(64 * 64, 0x00000000);
    edge[0] = kRed;
    auto premultiplied = scaled(makePicture(64, 64, edge));
    ASSERT_TRUE(premultiplied.hasAlpha());
    EXPECT_EQ(premultiplied.pixels()[0], 0x40FF0000u);
    // 48x48 to 32x32: each output pixel covers 1.5 source pixels; a flat picture stays flat.
    // The mask is scaled nearest.
    std::vector<std::uint8_t> mask(48 * 48, 0);
    mask[47 * 48 + 47] = 1;
    auto masked = scaled(makePicture(48, 48, std::vector<std::uint32_t>(48 * 48, kRed), mask));
    EXPECT_EQ(masked.pixels(), std::vector<std::uint32_t>(32 * 32, kRed));
    EXPECT_EQ(std::pair(masked.mask()[31 * 32 + 31], masked.mask()[30 * 32 + 30]),
              std::pair(std::uint8_t(1), std::uint8_t(0)));
    // Any size within the pixel budget, and none past it.
    EXPECT_TRUE(scaleTo(masked, kMaxImageSide, kMaxImagePixels / kMaxImageSide));
    EXPECT_EQ(scaleTo(masked, kMaxImageSide, kMaxImagePixels / kMaxImageSide + 1).error(),
              IconError::TooLarge);
}
