// Real files cut short at many lengths and with bytes flipped: the reader must answer 0 or
// "no icon" or a proper 32x32 icon, never crash (run under ASan and UBSan in CI).
#include "IconBuilders.h"
#include "IconReader.h"
#include "RealFiles.h"

#include <gtest/gtest.h>

using namespace quorvane::icons;
using namespace quorvane::testing;

namespace {

void expectSane(std::span<const std::uint8_t> bytes, std::uint32_t groupsToExtract) {
    MemorySource source(bytes);
    const std::uint32_t count = countIcons(source);
    for (std::uint32_t i = 0; i < std::min(count, groupsToExtract); ++i) {
        auto icon = extractIcon(source, i);
        if (icon) {
            ASSERT_EQ(icon->width(), kIconSize);
            ASSERT_EQ(icon->pixels().size(), std::size_t(kIconSize * kIconSize));
            ASSERT_EQ(icon->mask().size(), std::size_t(kIconSize * kIconSize));
        }
    }
}

} // namespace

TEST(Robustness, TruncatedRealFiles) {
    const std::vector<std::string> files = {
        kWineDir + "/user32.dll", kWineDir + "/notepad.exe", kNsisDir + "/Stubs/zlib-x86-unicode",
        kNsisDir + "/Contrib/Graphics/Icons/modern-install.ico", kWineFontsDir + "/coure.fon"};
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        const Bytes bytes = readWholeFile(path);
        ASSERT_FALSE(bytes.empty());
        std::span<const std::uint8_t> all(bytes);
        for (std::size_t length = 0; length < std::min<std::size_t>(bytes.size(), 2048);
             length += 7)
            expectSane(all.first(length), 4);
        for (std::size_t step = 0; step <= 400; ++step)
            expectSane(all.first(bytes.size() * step / 400), 4);
    }
}

TEST(Robustness, FlippedBytesInRealFiles) {
    const std::vector<std::string> files = {
        kNsisDir + "/Stubs/zlib-x86-unicode", kNsisDir + "/Stubs/lzma-amd64-unicode",
        kNsisDir + "/Contrib/Graphics/Icons/modern-install.ico"};
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        Bytes bytes = readWholeFile(path);
        ASSERT_FALSE(bytes.empty());
        MemorySource whole(bytes);
        auto file = IconFile::open(whole);
        ASSERT_TRUE(file);
        // Flip every byte of the headers, and of the icon data a stride apart.
        for (std::size_t i = 0; i < bytes.size(); i += (i < 1024 ? 1 : 61)) {
            for (std::uint8_t flip : {std::uint8_t(0xFF), std::uint8_t(0x80)}) {
                bytes[i] ^= flip;
                expectSane(bytes, 2);
                bytes[i] ^= flip;
            }
        }
    }
}
