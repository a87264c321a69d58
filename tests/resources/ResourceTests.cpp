// The generated Windows resource script, compiled by the MinGW resource compiler into a
// resource-only PE, read back: the icon group with our own reader, the version block with a
// small VS_VERSIONINFO parser.
#include "IconFile.h"
#include "RealFiles.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using namespace quorvane::icons;

namespace {

struct VersionNode {
    std::string key;
    std::vector<std::uint8_t> value; // raw bytes
    bool text = false;
    std::vector<VersionNode> children;
};

std::uint16_t u16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b.at(at) | (b.at(at + 1) << 8));
}

std::string utf16z(const std::vector<std::uint8_t>& b, std::size_t& at) {
    std::string out;
    for (std::uint16_t c; (c = u16(b, at)) != 0; at += 2)
        out += static_cast<char>(c); // the keys and values here are ASCII
    at += 2;
    return out;
}

std::size_t align4(std::size_t at) {
    return (at + 3) & ~std::size_t(3);
}

// One VS_VERSIONINFO / StringFileInfo / StringTable / String / VarFileInfo / Var node.
VersionNode parseNode(const std::vector<std::uint8_t>& b, std::size_t at) {
    VersionNode node;
    const std::size_t end = at + u16(b, at);
    const std::size_t valueLength = u16(b, at + 2);
    node.text = u16(b, at + 4) == 1;
    std::size_t pos = at + 6;
    node.key = utf16z(b, pos);
    pos = align4(pos);
    const std::size_t valueBytes = node.text ? valueLength * 2 : valueLength;
    node.value.assign(b.begin() + static_cast<std::ptrdiff_t>(pos),
                      b.begin() + static_cast<std::ptrdiff_t>(pos + valueBytes));
    pos = align4(pos + valueBytes);
    while (pos + 6 <= end && u16(b, pos) != 0) {
        node.children.push_back(parseNode(b, pos));
        pos = align4(pos + u16(b, pos));
    }
    return node;
}

std::string text(const std::vector<std::uint8_t>& value) {
    std::size_t at = 0;
    return utf16z(value, at);
}

std::uint32_t u32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return u16(b, at) | (std::uint32_t(u16(b, at + 2)) << 16);
}

} // namespace

TEST(WindowsResources, ReadBackAsDesigned) {
    auto source = FileSource::open(QUORVANE_RESOURCE_DLL);
    ASSERT_TRUE(source);
    auto file = IconFile::open(**source);
    ASSERT_TRUE(file);
    ASSERT_EQ(file->groupCount(), 1u);
    auto group = file->group(0);
    ASSERT_TRUE(group);
    EXPECT_TRUE(group->name.isId);
    EXPECT_EQ(group->name.id, 1);
    ASSERT_EQ(group->entries.size(), 1u);
    const IconDirEntry& e = group->entries[0];
    EXPECT_EQ(e.width(), 32);
    EXPECT_EQ(e.height(), 32);
    EXPECT_EQ(e.bColorCount, 16);
    EXPECT_EQ(e.wPlanes, 1);
    EXPECT_EQ(e.wBitCount, 4);
    EXPECT_EQ(e.dwBytesInRes, 744u);
    EXPECT_EQ(e.nId, 30001);
    auto image = file->imageBytes(e);
    ASSERT_TRUE(image);
    const auto ico = quorvane::testing::readWholeFile(QUORVANE_PROGRAM_ICON);
    ASSERT_EQ(ico.size(), 22u + 744u);
    EXPECT_EQ(*image, std::vector<std::uint8_t>(ico.begin() + 22, ico.end()));
    auto icon = file->resource(3, 30001);
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->language, 0x0411);

    auto version = file->resource(16, 1);
    ASSERT_TRUE(version);
    EXPECT_EQ(version->language, 0x0411);
    const VersionNode root = parseNode(version->bytes, 0);
    EXPECT_EQ(root.key, "VS_VERSION_INFO");
    ASSERT_EQ(root.value.size(), 52u); // VS_FIXEDFILEINFO
    const auto& fixed = root.value;
    EXPECT_EQ(u32(fixed, 0), 0xFEEF04BDu);
    EXPECT_EQ(u32(fixed, 8), 0x00010000u);  // dwFileVersionMS: 1.0
    EXPECT_EQ(u32(fixed, 12), 0x00000000u); // dwFileVersionLS: .0.0
    EXPECT_EQ(u32(fixed, 16), 0x00010000u); // dwProductVersionMS
    EXPECT_EQ(u32(fixed, 20), 0x00000000u);
    EXPECT_EQ(u32(fixed, 24), 0u); // dwFileFlagsMask
    EXPECT_EQ(u32(fixed, 28), 0u); // dwFileFlags
    EXPECT_EQ(u32(fixed, 32), 4u); // dwFileOS: 32-bit Windows
    EXPECT_EQ(u32(fixed, 36), 1u); // dwFileType: application
    EXPECT_EQ(u32(fixed, 40), 0u); // dwFileSubtype
    ASSERT_EQ(root.children.size(), 2u);
    const VersionNode& strings = root.children[0];
    EXPECT_EQ(strings.key, "StringFileInfo");
    ASSERT_EQ(strings.children.size(), 1u);
    EXPECT_EQ(strings.children[0].key, "041104B0");
    std::vector<std::pair<std::string, std::string>> table;
    for (const VersionNode& s : strings.children[0].children)
        table.emplace_back(s.key, text(s.value));
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"CompanyName", "Quorvane developers"},
        {"LegalCopyright", "Copyright (C) 2026 Quorvane developers"},
        {"ProductName", "Quorvane"},
        {"FileVersion", "1.00"},
        {"ProductVersion", "1.00"},
        {"InternalName", "Quorvane"},
        {"OriginalFilename", "Quorvane.exe"},
    };
    EXPECT_EQ(table, expected);
    const VersionNode& vars = root.children[1];
    EXPECT_EQ(vars.key, "VarFileInfo");
    ASSERT_EQ(vars.children.size(), 1u);
    EXPECT_EQ(vars.children[0].key, "Translation");
    EXPECT_EQ(vars.children[0].value, (std::vector<std::uint8_t>{0x11, 0x04, 0xB0, 0x04}));
}
