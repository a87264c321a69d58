// Counting and choosing icons in byte-built PE, NE and ICO files, well-formed and broken.
#include "IconApi.h"
#include "IconBuilders.h"
#include "IconReader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

using namespace quorvane::icons;
using namespace quorvane::testing;

namespace {

// A flat image of one colour, to tell images apart after decoding.
Bytes flat(std::uint32_t colour, int size = 32, int bitCount = 32) {
    return makeDib(
        makePicture(size, size, std::vector<std::uint32_t>(std::size_t(size) * size, colour)),
        {.bitCount = bitCount, .writeAlpha = false});
}

std::uint32_t count(const Bytes& bytes) {
    MemorySource source(bytes);
    return countIcons(source);
}

// The colour of icon n's top-left pixel, or 0 when there is no icon.
std::uint32_t colourOf(const Bytes& bytes, std::uint32_t index) {
    MemorySource source(bytes);
    auto icon = extractIcon(source, index);
    return icon ? icon->pixels()[0] : 0;
}

Bytes neWith(const std::vector<ImageSpec>& images, std::uint16_t alignShift = 4) {
    std::vector<NeResourceSpec> resources = {{0x800E, 1, makeGroupDirectory(images)}};
    for (const ImageSpec& image : images)
        resources.push_back({0x8003, image.id, image.data});
    return makeNe(resources, alignShift);
}

} // namespace

TEST(IconFiles, CountsByContent) {
    const Bytes image = flat(0xFFFF0000);
    std::vector<ResourceSpec> twoGroups =
        iconGroupResources(std::uint16_t(1), {{32, 32, 32, 1, image}});
    for (auto& r : iconGroupResources(std::uint16_t(2), {{32, 32, 32, 2, image}}))
        twoGroups.push_back(r);
    Bytes dosOnly(128, 0), linear = makeNe({});
    dosOnly[0] = 'M', dosOnly[1] = 'Z';
    linear[0x40] = 'L', linear[0x41] = 'E';
    const std::pair<Bytes, std::uint32_t> cases[] = {
        {makeIco({{16, 16, 32, 1, flat(1, 16)}, {32, 32, 32, 2, image}}), 1},
        {makePe(twoGroups), 2},
        {makePe(twoGroups, true), 2}, // PE32+
        {makePe({}), 0},
        {makePe({{std::uint16_t(6), std::uint16_t(1), 0, Bytes(8, 0)}}), 0}, // strings only
        {neWith({{32, 32, 32, 5, image}}), 1},
        {makeNe({{0x8008, 1, Bytes(16, 0)}}), 0},
        {makeIco({{32, 32, 32, 1, image}}, 2), 0}, // a cursor
        {makeIco({}), 0},
        {dosOnly, 0},
        {linear, 0},
        {{0x7F, 'E', 'L', 'F', 2, 1, 1, 0}, 0},
        {{}, 0},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(count(cases[i].first), cases[i].second) << "case " << i;
}

TEST(IconFiles, GroupOrderLanguagesAndNeAlignment) {
    std::vector<ResourceSpec> resources;
    auto add = [&](const ResourceId& name, std::uint16_t id, std::uint32_t colour,
                   std::uint16_t language = 0) {
        for (auto& r : iconGroupResources(name, {{32, 32, 32, id, flat(colour)}}, language))
            resources.push_back(r);
    };
    add(std::uint16_t(7), 1, 0xFF000007);
    add(std::string("ZETA"), 2, 0xFF00000B);
    add(std::uint16_t(3), 3, 0xFF000003);
    add(std::string("ALPHA"), 4, 0xFF0000A1);
    add(std::uint16_t(3), 5, 0xFF0000EE, 0x0411); // a second language counts once, unseen
    const Bytes pe = makePe(resources);
    EXPECT_EQ(count(pe), 4u);
    // Named groups first, in name order, then ids ascending.
    const std::uint32_t expected[] = {0xFF0000A1, 0xFF00000B, 0xFF000003, 0xFF000007, 0};
    for (std::uint32_t i = 0; i < 5; ++i)
        EXPECT_EQ(colourOf(pe, i), expected[i]) << i;
    MemorySource source(pe);
    EXPECT_EQ(IconFile::open(source)->group(0)->name.text(), "ALPHA");
    // NE offsets and lengths are shifted by the file's own alignment.
    for (int shift : {0, 4, 6, 9})
        EXPECT_EQ(colourOf(neWith({{32, 32, 32, 5, flat(0xFF00AA00)}}, std::uint16_t(shift)), 0),
                  0xFF00AA00u)
            << shift;
}

TEST(IconFiles, ChoosesTheImageNearest32InEveryKindOfFile) {
    const std::pair<std::vector<ImageSpec>, std::uint32_t> cases[] = {
        {{{16, 16, 32, 1, flat(1, 16)},
          {32, 32, 32, 2, flat(0xFF000002)},
          {48, 48, 32, 3, flat(3, 48)}},
         0xFF000002},
        // 16 and 48 without 32: the larger wins the tie
        {{{16, 16, 32, 1, flat(1, 16)}, {48, 48, 32, 2, flat(0xFF000002, 48)}}, 0xFF000002},
        // one size: the bit count nearest 32
        {{{32, 32, 4, 1, flat(0xFF000000, 32, 4)}, {32, 32, 24, 2, flat(0xFF000002, 32, 24)}},
         0xFF000002},
        // everything equal: the first
        {{{32, 32, 32, 1, flat(0xFF000001)}, {32, 32, 32, 2, flat(0xFF000002)}}, 0xFF000001},
        {{{256, 256, 32, 1,
           makePng(makePicture(256, 256, std::vector<std::uint32_t>(65536, 0xFF00FF00)))}},
         0xFF00FF00},
    };
    for (const auto& [images, colour] : cases) {
        EXPECT_EQ(colourOf(makePe(iconGroupResources(std::uint16_t(1), images)), 0), colour);
        EXPECT_EQ(colourOf(makeIco(images), 0), colour);
        EXPECT_EQ(colourOf(neWith(images), 0), colour);
    }
    // Both sides count: 40x40 is nearer 32x32 than 32x96.
    EXPECT_EQ(chooseImage({{.bWidth = 32, .bHeight = 96}, {.bWidth = 40, .bHeight = 40}}), 1u);
}

TEST(IconFiles, BrokenFilesGiveNoIcon) {
    const Bytes image = flat(0xFFFF0000);
    const Bytes good = makePe(iconGroupResources(std::uint16_t(1), {{32, 32, 32, 1, image}}));
    ASSERT_EQ(colourOf(good, 0), 0xFFFF0000u);
    // The group names image 9, which is not there.
    Bytes missing = makePe(
        {{std::uint16_t(14), std::uint16_t(1), 0, makeGroupDirectory({{32, 32, 32, 9, image}})},
         {std::uint16_t(3), std::uint16_t(1), 0, image}});
    EXPECT_EQ(count(missing), 1u);
    EXPECT_EQ(colourOf(missing, 0), 0u);
    // A group directory that claims more entries than it holds keeps the ones it has.
    Bytes overclaimed = good;
    const Bytes dir = makeGroupDirectory({{32, 32, 32, 1, image}});
    auto at = std::search(overclaimed.begin(), overclaimed.end(), dir.begin(), dir.end());
    setU16(overclaimed, std::size_t(at - overclaimed.begin()) + 4, 500);
    EXPECT_EQ(colourOf(overclaimed, 0), 0xFFFF0000u);
    // A type entry that points back at the root: the fixed-depth walk finds nothing, no loop.
    Bytes loop = good;
    setU32(loop, 0x200 + 16 + 4, 0x80000000u);
    EXPECT_EQ(colourOf(loop, 0), 0u);
    Bytes outside = good; // the resource directory's RVA lies in no section
    setU32(outside, 0x40 + 24 + 96 + 2 * 8, 0xFFFFFFF0);
    EXPECT_EQ(count(outside), 0u);
    Bytes claims = good; // the group type directory claims 40000 entries it does not hold
    setU16(claims, 0x200 + 80 + 14, 40000);
    EXPECT_EQ(count(claims), 0u);
    // NE: an alignment shift beyond the limit, a resource table running off the end.
    Bytes bigShift = neWith({{32, 32, 32, 5, image}}), longTable = bigShift;
    setU16(bigShift, 0x80, 40);
    setU16(longTable, 0x80 + 4, 60000);
    EXPECT_EQ(count(bigShift), 0u);
    EXPECT_EQ(count(longTable), 0u);
    // ICO: an image past the end; a directory cut short still counts 1 but gives no icon.
    Bytes farImage = makeIco({{32, 32, 32, 1, image}});
    setU32(farImage, 6 + 12, 0x7FFFFFFF);
    EXPECT_EQ(count(farImage), 1u);
    EXPECT_EQ(colourOf(farImage, 0), 0u);
    Bytes shortDirectory = makeIco({{16, 16, 1, 1, flat(0xFFFF0000, 16, 1)}});
    setU16(shortDirectory, 4, std::uint16_t((shortDirectory.size() - 6) / 16 + 1));
    EXPECT_EQ(count(shortDirectory), 1u);
    EXPECT_EQ(colourOf(shortDirectory, 0), 0u);
    // 257 images in one directory are past the budget of 256.
    const Bytes many = makeIco(std::vector<ImageSpec>(257, {16, 16, 1, 1, Bytes(8)}));
    MemorySource manySource(many);
    EXPECT_EQ(IconFile::open(manySource)->group(0).error(), IconError::TooLarge);
}

TEST(IconApi, ExtractIconAFollowsTheShellContract) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("quorvane-api-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const Bytes bytes =
        makePe(iconGroupResources(std::uint16_t(1), {{32, 32, 32, 1, flat(0xFF112233)}}));
    const fs::path pe = dir / "one.dll", fifo = dir / "fifo";
    std::ofstream(pe, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const HINSTANCE hInst{1};
    EXPECT_EQ(ExtractIconA(hInst, pe, -1).value(), 1u);
    for (const fs::path& none : {dir / "missing", dir, fifo, fs::path("/dev/zero")})
        EXPECT_EQ(ExtractIconA(hInst, none, -1).value(), 0u) << none; // the fifo must not block
    EXPECT_TRUE(ExtractIconA(hInst, pe, 1).isNull());
    EXPECT_TRUE(ExtractIconA(hInst, pe, -2).isNull());
    // DrawIcon paints the 32x32 icon at (2, 2) and says so; a null handle or a count draws nothing.
    std::vector<std::uint32_t> pixels(35 * 35, 0xFFFFFFFF);
    const HDC hDC{pixels.data(), 35, 35, 35};
    EXPECT_NE(DrawIcon(hDC, 2, 2, ExtractIconA(hInst, pe, 0)), 0);
    EXPECT_EQ(pixels[1 * 35 + 1], 0xFFFFFFFFu);
    EXPECT_EQ(pixels[2 * 35 + 2], 0xFF112233u);
    EXPECT_EQ(pixels[33 * 35 + 33], 0xFF112233u);
    EXPECT_EQ(pixels[34 * 35 + 34], 0xFFFFFFFFu);
    EXPECT_EQ(DrawIcon(hDC, 2, 2, ExtractIconA(hInst, pe, 7)), 0);
    EXPECT_EQ(DrawIcon(hDC, 2, 2, ExtractIconA(hInst, pe, -1)), 0);
    fs::remove_all(dir);
}

TEST(Thumbnails, TheSmallestImageThatCoversTheSizeShrunkInPremultipliedAlpha) {
    auto image = [](int w, int h, int bits, std::uint32_t colour, bool png) {
        const IconBitmap picture =
            makePicture(w, h, std::vector<std::uint32_t>(std::size_t(w) * h, colour));
        return ImageSpec{w, h, bits, 1,
                         png ? makePng(picture) : makeDib(picture, {.bitCount = bits})};
    };
    // A colour each. A paletted PNG (8 bits in its entry) comes before a 24-bit DIB of its size,
    // a 32-bit DIB before an 8-bit one.
    const Bytes ico =
        makeIco({image(16, 16, 32, 0xFF000010, false), image(32, 32, 8, 0xFF000020, false),
                 image(48, 48, 24, 0xFF000030, false), image(48, 48, 8, 0xFF000031, true),
                 image(64, 32, 8, 0xFF000040, false), image(64, 32, 32, 0xFF000041, false),
                 image(256, 256, 32, 0xFF000100, true)});
    MemorySource source(ico);
    auto file = IconFile::open(source);
    struct Case {
        int size;
        std::uint32_t colour;
        int width, height;
    };
    const Case cases[] = {
        {16, 0xFF000010, 16, 16},
        {17, 0xFF000020, 17, 17},
        {40, 0xFF000031, 40, 40},
        {60, 0xFF000041, 60, 30},
        {128, 0xFF000100, 128, 128},
        {300, 0xFF000100, 256, 256}}; // nothing covers 300: the largest, not enlarged
    for (const Case& c : cases) {
        auto thumb = thumbnailIcon(*file, 0, c.size);
        ASSERT_TRUE(thumb) << c.size;
        EXPECT_EQ(std::pair(thumb->width(), thumb->height()), std::pair(c.width, c.height))
            << c.size;
        EXPECT_EQ(thumb->pixels()[0], c.colour) << c.size;
    }
    // 4x2 to 2x1. Left: red, a transparent white, blue at alpha 128, green at 64: alpha
    // (255 + 128 + 64) / 4 = 111.75, each colour c * a / 447: red 145.5, green 36.5, blue
    // 73.0. Right: two black and two white, opaque.
    const Bytes square =
        makeIco({{4, 2, 32, 1,
                  makePng(makePicture(4, 2,
                                      {0xFFFF0000, 0x00FFFFFF, 0xFF000000, 0xFFFFFFFF, 0x800000FF,
                                       0x4000FF00, 0xFFFFFFFF, 0xFF000000}))}});
    MemorySource small(square);
    auto shrunk = thumbnailIcon(*IconFile::open(small), 0, 2);
    ASSERT_TRUE(shrunk);
    EXPECT_EQ(shrunk->pixels(), (std::vector<std::uint32_t>{0x70912549, 0xFF808080}));
}
