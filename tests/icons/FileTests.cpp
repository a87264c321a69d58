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

// A flat 32x32 (or other size) 32-bit image of one colour, to tell images apart after decoding.
Bytes flatImage(std::uint32_t colour, int size = 32, int bitCount = 32) {
    IconBitmap picture =
        makePicture(size, size, std::vector<std::uint32_t>(std::size_t(size) * size, colour));
    return makeDib(picture, {.bitCount = bitCount, .writeAlpha = false});
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

} // namespace

TEST(IconFiles, CountsByContent) {
    const Bytes image = flatImage(0xFFFF0000);
    Bytes cursor = makeIco({{32, 32, 32, 1, image}}, 2);
    Bytes dosOnly(128, 0);
    dosOnly[0] = 'M';
    dosOnly[1] = 'Z';
    Bytes linearExecutable = makeNe({});
    linearExecutable[0x40] = 'L';
    linearExecutable[0x41] = 'E';
    Bytes bitmap = {'B', 'M', 0, 0, 0, 0};
    Bytes elf = {0x7F, 'E', 'L', 'F', 2, 1, 1, 0};
    std::vector<ResourceSpec> twoGroups =
        iconGroupResources(std::uint16_t(1), {{32, 32, 32, 1, image}});
    for (auto& r : iconGroupResources(std::uint16_t(2), {{32, 32, 32, 2, image}}))
        twoGroups.push_back(r);

    struct Case {
        const char* name;
        Bytes bytes;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {"ico with three images",
         makeIco({{16, 16, 32, 1, flatImage(1, 16)},
                  {32, 32, 32, 2, image},
                  {48, 48, 32, 3, flatImage(2, 48)}}),
         1},
        {"PE32 with two groups", makePe(twoGroups), 2},
        {"PE32+ with two groups", makePe(twoGroups, true), 2},
        {"PE without resources", makePe({}), 0},
        {"PE with only a string table",
         makePe({{std::uint16_t(6), std::uint16_t(1), 0, Bytes(8, 0)}}), 0},
        {"NE with one group",
         makeNe({{0x800E, 1, makeGroupDirectory({{32, 32, 32, 5, image}})}, {0x8003, 5, image}}),
         1},
        {"NE without icons", makeNe({{0x8008, 1, Bytes(16, 0)}}), 0},
        {"cursor", cursor, 0},
        {"ico with no entries", makeIco({}), 0},
        {"DOS only", dosOnly, 0},
        {"LE", linearExecutable, 0},
        {"bitmap", bitmap, 0},
        {"ELF", elf, 0},
        {"empty", {}, 0},
        {"text", {'h', 'e', 'l', 'l', 'o'}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(count(c.bytes), c.expected);
    }
}

TEST(IconFiles, GroupOrderAndLanguages) {
    std::vector<ResourceSpec> resources;
    auto add = [&](const ResourceId& name, std::uint16_t id, std::uint32_t colour,
                   std::uint16_t language = 0) {
        for (auto& r : iconGroupResources(name, {{32, 32, 32, id, flatImage(colour)}}, language))
            resources.push_back(r);
    };
    add(std::uint16_t(7), 1, 0xFF000007);
    add(std::string("ZETA"), 2, 0xFF00000B);
    add(std::uint16_t(3), 3, 0xFF000003);
    add(std::string("ALPHA"), 4, 0xFF0000A1);
    // Group 3 also stored in a second language, with another image: it still counts once and
    // the first language is the one shown.
    add(std::uint16_t(3), 5, 0xFF0000EE, 0x0411);
    const Bytes pe = makePe(resources);
    EXPECT_EQ(count(pe), 4u);
    // Named groups first, in name order, then ids ascending.
    EXPECT_EQ(colourOf(pe, 0), 0xFF0000A1u);
    EXPECT_EQ(colourOf(pe, 1), 0xFF00000Bu);
    EXPECT_EQ(colourOf(pe, 2), 0xFF000003u);
    EXPECT_EQ(colourOf(pe, 3), 0xFF000007u);
    EXPECT_EQ(colourOf(pe, 4), 0u);
    MemorySource source(pe);
    auto file = IconFile::open(source);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->group(0)->name.text(), "ALPHA");
    EXPECT_EQ(file->group(3)->name.text(), "7");
}

TEST(IconFiles, ChoosesTheImageNearest32) {
    struct Case {
        const char* name;
        std::vector<ImageSpec> images;
        std::uint32_t expectedColour;
    };
    const Case cases[] = {
        {"exact 32 among others",
         {{16, 16, 32, 1, flatImage(0xFF000001, 16)},
          {32, 32, 32, 2, flatImage(0xFF000002)},
          {48, 48, 32, 3, flatImage(0xFF000003, 48)}},
         0xFF000002},
        {"16 and 48 without 32: the larger wins the tie",
         {{16, 16, 32, 1, flatImage(0xFF000001, 16)}, {48, 48, 32, 2, flatImage(0xFF000002, 48)}},
         0xFF000002},
        {"same size: bit count nearest 32",
         {{32, 32, 4, 1, flatImage(0xFF000000, 32, 4)},
          {32, 32, 24, 2, flatImage(0xFF000002, 32, 24)},
          {32, 32, 8, 3, flatImage(0xFF000000, 32, 8)}},
         0xFF000002},
        {"everything equal: the first",
         {{32, 32, 32, 1, flatImage(0xFF000001)}, {32, 32, 32, 2, flatImage(0xFF000002)}},
         0xFF000001},
        {"only 256 (stored as 0), as PNG",
         {{256, 256, 32, 1,
           makePng(makePicture(256, 256, std::vector<std::uint32_t>(256 * 256, 0xFF00FF00)))}},
         0xFF00FF00},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(colourOf(makePe(iconGroupResources(std::uint16_t(1), c.images)), 0),
                  c.expectedColour);
        EXPECT_EQ(colourOf(makeIco(c.images), 0), c.expectedColour);
        std::vector<NeResourceSpec> ne = {{0x800E, 1, makeGroupDirectory(c.images)}};
        for (const ImageSpec& image : c.images)
            ne.push_back({0x8003, image.id, image.data});
        EXPECT_EQ(colourOf(makeNe(ne), 0), c.expectedColour);
    }
}

TEST(IconFiles, BrokenFilesGiveNoIcon) {
    const Bytes image = flatImage(0xFFFF0000);
    const Bytes good = makePe(iconGroupResources(std::uint16_t(1), {{32, 32, 32, 1, image}}));
    ASSERT_EQ(colourOf(good, 0), 0xFFFF0000u);

    // Missing RT_ICON: the group names image 9, which is not there.
    Bytes missingImage = makePe(
        {{std::uint16_t(14), std::uint16_t(1), 0, makeGroupDirectory({{32, 32, 32, 9, image}})},
         {std::uint16_t(3), std::uint16_t(1), 0, image}});
    EXPECT_EQ(count(missingImage), 1u);
    EXPECT_EQ(colourOf(missingImage, 0), 0u);

    // A group directory that claims more entries than it holds keeps the ones it has.
    Bytes overclaimed = good;
    const Bytes groupDir = makeGroupDirectory({{32, 32, 32, 1, image}});
    auto at = std::search(overclaimed.begin(), overclaimed.end(), groupDir.begin(), groupDir.end());
    ASSERT_NE(at, overclaimed.end());
    setU16(overclaimed, std::size_t(at - overclaimed.begin()) + 4, 500);
    EXPECT_EQ(colourOf(overclaimed, 0), 0xFFFF0000u);

    // A resource directory whose first type entry points back at the root: the fixed-depth
    // walk finds no group data instead of looping.
    Bytes loop = good;
    const std::size_t root = 0x200;
    setU32(loop, root + 16 + 4, 0x80000000u); // type entry -> root directory
    EXPECT_EQ(colourOf(loop, 0), 0u);

    // The resource directory's RVA lies in no section.
    Bytes outside = good;
    setU32(outside, 0x40 + 24 + 96 + 2 * 8, 0xFFFFFFF0);
    EXPECT_EQ(count(outside), 0u);

    // A type directory that claims 40000 entries that the file does not hold counts 0.
    Bytes claims = good;
    setU16(claims, root + 80 + 14, 40000); // the RT_GROUP_ICON directory's id count
    EXPECT_EQ(count(claims), 0u);

    // NE: an alignment shift beyond the limit, and a table running off the end of the file.
    Bytes ne =
        makeNe({{0x800E, 1, makeGroupDirectory({{32, 32, 32, 5, image}})}, {0x8003, 5, image}});
    ASSERT_EQ(colourOf(ne, 0), 0xFFFF0000u);
    Bytes bigShift = ne;
    setU16(bigShift, 0x80, 40);
    EXPECT_EQ(count(bigShift), 0u);
    Bytes longTable = ne;
    setU16(longTable, 0x80 + 2 + 2, 60000); // rtResourceCount of the first type
    EXPECT_EQ(count(longTable), 0u);

    // ICO: an image offset past the end, and a directory longer than the file.
    Bytes ico = makeIco({{32, 32, 32, 1, image}});
    Bytes farImage = ico;
    setU32(farImage, 6 + 12, 0x7FFFFFFF);
    EXPECT_EQ(count(farImage), 1u);
    EXPECT_EQ(colourOf(farImage, 0), 0u);
    // The count of an .ico comes from its header alone; a directory cut short gives no icon.
    Bytes shortDirectory = makeIco({{16, 16, 1, 1, flatImage(0xFFFF0000, 16, 1)}});
    ASSERT_EQ(colourOf(shortDirectory, 0), 0xFFFF0000u);
    setU16(shortDirectory, 4, std::uint16_t((shortDirectory.size() - 6) / 16 + 1));
    EXPECT_EQ(count(shortDirectory), 1u);
    EXPECT_EQ(colourOf(shortDirectory, 0), 0u);
}

TEST(IconApi, ExtractIconAFollowsTheShellContract) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("quorvane-api-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const Bytes image = flatImage(0xFF336699);
    const fs::path pe = dir / "two.dll";
    std::vector<ResourceSpec> resources =
        iconGroupResources(std::uint16_t(1), {{32, 32, 32, 1, image}});
    for (auto& r : iconGroupResources(std::uint16_t(2), {{32, 32, 32, 2, flatImage(0xFF112233)}}))
        resources.push_back(r);
    Bytes bytes = makePe(resources);
    std::ofstream(pe, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    const fs::path fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

    const HINSTANCE hInst{1};
    EXPECT_EQ(ExtractIconA(hInst, pe, -1).value(), 2u);
    EXPECT_EQ(ExtractIconA(hInst, (dir / "missing").string(), -1).value(), 0u);
    EXPECT_EQ(ExtractIconA(hInst, dir.string(), -1).value(), 0u);
    EXPECT_EQ(ExtractIconA(hInst, fifo.string(), -1).value(), 0u); // must not block
    EXPECT_EQ(ExtractIconA(hInst, "/dev/zero", -1).value(), 0u);
    EXPECT_TRUE(ExtractIconA(hInst, pe, 2).isNull());
    EXPECT_TRUE(ExtractIconA(hInst, pe, -2).isNull());
    EXPECT_TRUE(ExtractIconA(hInst, fifo.string(), 0).isNull());

    // DrawIcon paints at (2, 2) and reports it; a null handle draws nothing and reports 0.
    std::vector<std::uint32_t> pixels(35 * 35, 0xFFFFFFFF);
    HDC hDC{pixels.data(), 35, 35, 35};
    EXPECT_NE(DrawIcon(hDC, 2, 2, ExtractIconA(hInst, pe, 1)), 0);
    EXPECT_EQ(pixels[1 * 35 + 1], 0xFFFFFFFFu);
    EXPECT_EQ(pixels[2 * 35 + 2], 0xFF112233u);
    EXPECT_EQ(pixels[33 * 35 + 33], 0xFF112233u);
    EXPECT_EQ(pixels[34 * 35 + 34], 0xFFFFFFFFu);
    EXPECT_EQ(DrawIcon(hDC, 2, 2, ExtractIconA(hInst, pe, 7)), 0);
    EXPECT_EQ(DrawIcon(hDC, 2, 2, ExtractIconA(hInst, pe, -1)), 0);
    fs::remove_all(dir);
}

TEST(Thumbnails, TheSmallestImageThatCoversTheSizeShrunkInPremultipliedAlpha) {
    auto filled = [](int w, int h, std::uint32_t colour) {
        return makePicture(w, h, std::vector<std::uint32_t>(std::size_t(w) * h, colour));
    };
    auto dib = [&](int w, int h, int bits, std::uint32_t colour) {
        return ImageSpec{w, h, bits, 1, makeDib(filled(w, h, colour), {.bitCount = bits})};
    };
    auto png = [&](int w, int h, int entryBits, std::uint32_t colour) {
        return ImageSpec{w, h, entryBits, 1, makePng(filled(w, h, colour))};
    };
    // Each image has a colour of its own; a paletted PNG (8 bits in its entry) still comes
    // before a 24-bit DIB of its size, and a 32-bit DIB before an 8-bit one.
    const Bytes ico = makeIco({dib(16, 16, 32, 0xFF000010), dib(32, 32, 8, 0xFF000020),
                               dib(48, 48, 24, 0xFF000030), png(48, 48, 8, 0xFF000031),
                               dib(64, 32, 8, 0xFF000040), dib(64, 32, 32, 0xFF000041),
                               png(256, 256, 32, 0xFF000100)});
    MemorySource source(ico);
    auto file = IconFile::open(source);
    ASSERT_TRUE(file);
    struct Case {
        int size;
        std::uint32_t colour;
        int width, height;
    };
    const Case cases[] = {
        {16, 0xFF000010, 16, 16},    {17, 0xFF000020, 17, 17}, {40, 0xFF000031, 40, 40},
        {60, 0xFF000041, 60, 30},    {64, 0xFF000041, 64, 32}, {128, 0xFF000100, 128, 128},
        {300, 0xFF000100, 256, 256}, // nothing covers 300: the largest, not enlarged
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        auto thumb = thumbnailIcon(*file, 0, c.size);
        ASSERT_TRUE(thumb);
        EXPECT_EQ(thumb->width(), c.width);
        EXPECT_EQ(thumb->height(), c.height);
        EXPECT_EQ(thumb->pixels()[0], c.colour);
    }
    // 4x2 to 2x1. Left: red, a transparent white, blue at alpha 128 and green at 64, so alpha
    // (255 + 0 + 128 + 64) / 4 = 111.75 and each colour c * a / 447: red 145.5, green 36.5,
    // blue 73.0. Right: black and white, opaque.
    const Bytes square =
        makeIco({{4, 2, 32, 1,
                  makePng(makePicture(4, 2,
                                      {0xFFFF0000, 0x00FFFFFF, 0xFF000000, 0xFFFFFFFF, 0x800000FF,
                                       0x4000FF00, 0xFFFFFFFF, 0xFF000000}))}});
    MemorySource small(square);
    auto shrunk = thumbnailIcon(*IconFile::open(small), 0, 2);
    ASSERT_TRUE(shrunk);
    EXPECT_EQ(shrunk->pixels(), (std::vector<std::uint32_t>{0x70912549, 0xFF808080}));
    // The program's own choice measures both sides: 40x40 is nearer 32x32 than 32x96.
    EXPECT_EQ(chooseImage({{.bWidth = 32, .bHeight = 96}, {.bWidth = 40, .bHeight = 40}}), 1u);
}
