// Decoding, scaling and compositing of icon pictures, checked against hand-computed pixels.
#include "IconBuilders.h"
#include "IconImage.h"

#include <gtest/gtest.h>

using namespace quorvane::icons;
using namespace quorvane::testing;

namespace {

constexpr std::uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF,
                        kWhite = 0xFFFFFFFF, kBlack = 0xFF000000;

// A 32x32 red and black picture with a transparent corner: exact at every depth.
IconBitmap twoColourPicture() {
    std::vector<std::uint32_t> pixels(32 * 32);
    std::vector<std::uint8_t> mask(32 * 32, 0);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            pixels[y * 32 + x] = (x + y) % 3 == 0 ? kRed : kBlack;
            if (x < 4 && y < 4) {
                pixels[y * 32 + x] = kBlack; // transparent pixels carry black colour
                mask[y * 32 + x] = 1;
            }
        }
    return makePicture(32, 32, pixels, mask);
}

std::vector<std::uint32_t> drawOn(std::uint32_t background, const IconBitmap& icon, int x = 0,
                                  int y = 0, int size = 32) {
    std::vector<std::uint32_t> surface(std::size_t(size) * size, background);
    drawIconBitmap(Surface{surface.data(), size, size, size}, x, y, icon);
    return surface;
}

} // namespace

TEST(DibDecoding, EveryDepthAndPngGiveTheSamePicture) {
    const IconBitmap picture = twoColourPicture();
    struct Case {
        const char* name;
        Bytes bytes;
    };
    const Case cases[] = {
        {"1 bpp", makeDib(picture, {.bitCount = 1})},
        {"4 bpp", makeDib(picture, {.bitCount = 4})},
        {"8 bpp", makeDib(picture, {.bitCount = 8})},
        {"24 bpp", makeDib(picture, {.bitCount = 24})},
        {"32 bpp, alpha zero", makeDib(picture, {.bitCount = 32, .writeAlpha = false})},
        {"1 bpp core header", makeDib(picture, {.bitCount = 1, .headerSize = 12})},
        {"8 bpp V5 header", makeDib(picture, {.bitCount = 8, .headerSize = 124})},
        {"16 bpp 5-5-5", makeDib(picture, {.bitCount = 16})},
        {"16 bpp bitfields 5-6-5", makeDib(picture, {.bitCount = 16, .bitfields = true})},
        {"32 bpp bitfields",
         makeDib(picture, {.bitCount = 32, .bitfields = true, .writeAlpha = false})},
        {"32 bpp bitfields V4 header",
         makeDib(picture,
                 {.bitCount = 32, .headerSize = 108, .bitfields = true, .writeAlpha = false})},
    };
    const auto expected = drawOn(kWhite, picture);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto decoded = decodeImage(c.bytes);
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->width(), 32);
        EXPECT_EQ(decoded->height(), 32);
        EXPECT_FALSE(decoded->hasAlpha());
        EXPECT_EQ(decoded->mask(), picture.mask());
        EXPECT_EQ(drawOn(kWhite, *decoded), expected);
    }
    // The same picture as an alpha PNG: the transparent corner comes from alpha 0.
    IconBitmap alpha = picture;
    for (std::size_t i = 0; i < alpha.pixels().size(); ++i)
        if (alpha.mask()[i])
            alpha.writablePixels()[i] = 0x00000000;
    auto png = decodeImage(makePng(alpha));
    ASSERT_TRUE(png);
    EXPECT_TRUE(png->hasAlpha());
    EXPECT_EQ(png->mask(), picture.mask());
    EXPECT_EQ(drawOn(kWhite, *png), expected);
    // A 32-bit DIB with any alpha is an alpha icon.
    std::vector<std::uint32_t> pixels(4 * 4, 0x80FF0000);
    auto withAlpha = decodeImage(makeDib(makePicture(4, 4, pixels), {.bitCount = 32}));
    ASSERT_TRUE(withAlpha);
    EXPECT_TRUE(withAlpha->hasAlpha());
    EXPECT_EQ(withAlpha->pixels()[1], 0x80FF0000u);
}

TEST(DibDecoding, DamagedImages) {
    const IconBitmap picture = twoColourPicture();
    // A truncated mask counts as opaque: the colour image is shown everywhere.
    Bytes noMask = makeDib(picture, {.bitCount = 4, .withMask = false});
    auto opaque = decodeImage(noMask);
    ASSERT_TRUE(opaque);
    EXPECT_EQ(opaque->mask(), std::vector<std::uint8_t>(32 * 32, 0));

    Bytes shortColour = noMask;
    shortColour.resize(shortColour.size() - 1);
    EXPECT_EQ(decodeImage(shortColour).error(), IconError::Undecodable);

    struct Case {
        const char* name;
        std::size_t at;
        std::uint32_t value;
        IconError error;
    };
    const Case cases[] = {
        {"header size 20", 0, 20, IconError::Undecodable},
        {"width 0", 4, 0, IconError::Undecodable},
        {"negative width", 4, 0xFFFFFFF0, IconError::Undecodable},
        {"height 1 (no image above the mask)", 8, 1, IconError::Undecodable},
        {"huge width", 4, 100000, IconError::TooLarge},
        {"bit count 7", 14, 7 | (0u << 16), IconError::Undecodable},
        {"RLE compression", 16, 2, IconError::Undecodable},
        {"colour table larger than the data", 32, 4000, IconError::Undecodable},
        {"colour table beyond the limit", 32, 0x40000000, IconError::Undecodable},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes bytes = makeDib(picture, {.bitCount = 8});
        if (c.at == 14)
            setU16(bytes, 14, static_cast<std::uint16_t>(c.value));
        else
            setU32(bytes, c.at, c.value);
        auto decoded = decodeImage(bytes);
        ASSERT_FALSE(decoded);
        EXPECT_EQ(decoded.error(), c.error);
    }
    EXPECT_FALSE(decodeImage(Bytes{}));
    Bytes brokenPng = makePng(picture);
    brokenPng.resize(brokenPng.size() / 2);
    EXPECT_EQ(decodeImage(brokenPng).error(), IconError::Undecodable);
}

TEST(Compositing, AlphaBlendsAndMaskInverts) {
    struct Case {
        const char* name;
        std::uint32_t colour;
        std::uint8_t mask;
        bool alpha;
        std::uint32_t background;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {"alpha 0x80 black over white", 0x80000000, 0, true, kWhite, 0xFF7F7F7F},
        {"alpha 0x80 white over black", 0x80FFFFFF, 0, true, kBlack, 0xFF808080},
        {"alpha 0x80 red over blue", 0x80FF0000, 0, true, kBlue, 0xFF80007F},
        {"rounded to nearest: (1 * 128 + 127) / 255", 0x80010101, 0, true, kBlack, 0xFF010101},
        {"alpha 0 leaves the background", 0x00123456, 0, true, kGreen, kGreen},
        {"alpha ignores the mask", 0xFFFF0000, 1, true, kGreen, kRed},
        {"mask 0 paints the colour", kRed, 0, false, kGreen, 0xFFFF0000},
        {"mask 1 with black leaves the background", kBlack, 1, false, 0xFF123456, 0xFF123456},
        {"mask 1 with white inverts", kWhite, 1, false, 0xFF123456, 0xFFEDCBA9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        IconBitmap icon = makePicture(32, 32, std::vector<std::uint32_t>(32 * 32, c.colour),
                                      std::vector<std::uint8_t>(32 * 32, c.mask));
        icon.setHasAlpha(c.alpha);
        EXPECT_EQ(drawOn(c.background, icon)[0], c.expected);
    }
}

TEST(Compositing, ClipsToTheSurface) {
    IconBitmap icon = makePicture(32, 32, std::vector<std::uint32_t>(32 * 32, kRed));
    // Only the icon's bottom-left corner, 5 columns by 1 row, lands on the surface.
    std::vector<std::uint32_t> expected(35 * 35, kWhite);
    std::fill_n(expected.begin() + 30, 5, kRed);
    EXPECT_EQ(drawOn(kWhite, icon, 30, -31, 35), expected);
    EXPECT_EQ(drawOn(kWhite, icon, 1000, 1000, 35), std::vector<std::uint32_t>(35 * 35, kWhite));
}

TEST(Scaling, GrowsByWholeFactorsAndAveragesOtherwise) {
    // 16x16 quarters of four colours grow to 32x32 by pixel replication.
    std::vector<std::uint32_t> small(16 * 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            small[y * 16 + x] = (x == 3 && y == 5) ? kGreen : kBlue;
    auto grown = scaleToIconSize(makePicture(16, 16, small));
    EXPECT_EQ(grown.pixels()[10 * 32 + 6], kGreen);
    EXPECT_EQ(grown.pixels()[11 * 32 + 7], kGreen);
    EXPECT_EQ(grown.pixels()[12 * 32 + 6], kBlue);

    // 64x64 halves: each output pixel averages a 2x2 block.
    std::vector<std::uint32_t> big(64 * 64, kWhite);
    big[0] = kBlack;
    auto halved = scaleToIconSize(makePicture(64, 64, big));
    EXPECT_EQ(halved.pixels()[0], 0xFFBFBFBFu); // (0 + 3 * 255) / 4, rounded
    EXPECT_EQ(halved.pixels()[1], kWhite);

    // Premultiplied averaging: transparent pixels do not darken the colour.
    std::vector<std::uint32_t> edge(64 * 64, 0x00000000);
    edge[0] = 0xFFFF0000;
    auto premultiplied = scaleToIconSize(makePicture(64, 64, edge));
    ASSERT_TRUE(premultiplied.hasAlpha());
    EXPECT_EQ(premultiplied.pixels()[0], 0x40FF0000u);

    // 48x48 to 32x32: each output pixel covers 1.5 source pixels; a flat picture stays flat.
    auto flat = scaleToIconSize(makePicture(48, 48, std::vector<std::uint32_t>(48 * 48, kRed)));
    EXPECT_EQ(flat.pixels(), std::vector<std::uint32_t>(32 * 32, kRed));
    // The mask is scaled nearest.
    std::vector<std::uint8_t> mask(48 * 48, 0);
    mask[47 * 48 + 47] = 1;
    auto masked =
        scaleToIconSize(makePicture(48, 48, std::vector<std::uint32_t>(48 * 48, kRed), mask));
    EXPECT_EQ(masked.mask()[31 * 32 + 31], 1);
    EXPECT_EQ(masked.mask()[30 * 32 + 30], 0);
}
