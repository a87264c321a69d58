// The generated Windows resource script, compiled by the MinGW resource compiler into a
// resource-only PE and read back with our own reader: the icon group, and the version block's
// fixed part and strings.
#include "IconFile.h"
#include "RealFiles.h"

#include <gtest/gtest.h>

#include <string>

using namespace quorvane::icons;

namespace {

std::uint32_t u32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return std::uint32_t(b.at(at) | b.at(at + 1) << 8 | b.at(at + 2) << 16 | b.at(at + 3) << 24);
}

// Whether the UTF-16 key is followed, after its padding, by the UTF-16 value.
bool holdsString(const std::vector<std::uint8_t>& b, const std::string& key,
                 const std::string& value) {
    auto utf16 = [](const std::string& s) {
        std::string out;
        for (char c : s)
            out += {c, '\0'};
        return out + std::string(2, '\0');
    };
    const std::string bytes(b.begin(), b.end()), k = utf16(key);
    const std::size_t at = bytes.find(k);
    if (at == std::string::npos)
        return false;
    const std::size_t valueAt = (at + k.size() + 3) & ~std::size_t(3); // 32-bit aligned
    return bytes.compare(valueAt, utf16(value).size(), utf16(value)) == 0;
}

} // namespace

TEST(WindowsResources, ReadBackAsDesigned) {
    auto source = FileSource::open(QUORVANE_RESOURCE_DLL);
    ASSERT_TRUE(source);
    auto file = IconFile::open(**source);
    ASSERT_TRUE(file);
    ASSERT_EQ(file->groupCount(), 1u);
    auto group = file->group(0);
    ASSERT_TRUE(group && group->name.isId && group->name.id == 1 && group->entries.size() == 1);
    const IconDirEntry& e = group->entries[0];
    EXPECT_EQ(std::tuple(e.width(), e.height(), e.bColorCount, e.wBitCount, e.nId),
              std::tuple(32, 32, std::uint8_t(16), std::uint16_t(4), std::uint16_t(30001)));
    // The image is the program icon's, byte for byte, in Japanese.
    const auto ico = quorvane::testing::readWholeFile(QUORVANE_PROGRAM_ICON);
    EXPECT_EQ(*file->imageBytes(e), std::vector<std::uint8_t>(ico.begin() + 22, ico.end()));
    EXPECT_EQ(file->resource(3, 30001)->language, 0x0411);
    auto version = file->resource(16, 1);
    ASSERT_TRUE(version);
    EXPECT_EQ(version->language, 0x0411);
    // VS_FIXEDFILEINFO after the 6-byte header and the padded key "VS_VERSION_INFO".
    const std::size_t fixed = 40;
    EXPECT_EQ(u32(version->bytes, fixed), 0xFEEF04BDu);
    EXPECT_EQ(u32(version->bytes, fixed + 8), 0x00010000u); // file version 1.0.0.0
    EXPECT_EQ(u32(version->bytes, fixed + 12), 0u);
    EXPECT_EQ(u32(version->bytes, fixed + 32), 4u); // 32-bit Windows
    EXPECT_EQ(u32(version->bytes, fixed + 36), 1u); // an application
    const std::pair<const char*, const char*> strings[] = {
        {"CompanyName", "Quorvane developers"},
        {"LegalCopyright", "Copyright (C) 2026 Quorvane developers"},
        {"ProductName", "Quorvane"},
        {"FileVersion", "1.00"},
        {"ProductVersion", "1.00"},
        {"InternalName", "Quorvane"},
        {"OriginalFilename", "Quorvane.exe"},
    };
    for (const auto& [key, value] : strings)
        EXPECT_TRUE(holdsString(version->bytes, key, value)) << key;
}
