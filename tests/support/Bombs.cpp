// Small files that claim, or inflate to, far more than they hold.
#include "IconBuilders.h"

#include <zlib.h>

namespace quorvane::testing {
namespace {

void putChunk(Bytes& out, const char* type, const Bytes& data) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(data.size() >> shift));
    Bytes typed(type, type + 4);
    typed.insert(typed.end(), data.begin(), data.end());
    out.insert(out.end(), typed.begin(), typed.end());
    const auto crc = crc32(0, typed.data(), static_cast<uInt>(typed.size()));
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(crc >> shift));
}

// A PNG of WIDTH x HEIGHT grey pixels, all 0, of which only the first `rows` are in its one
// IDAT chunk: rows < height gives a file whose header claims far more than it holds.
Bytes greyPng(std::uint32_t width, std::uint32_t height, std::uint32_t rows) {
    Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes ihdr;
    for (std::uint32_t v : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8)
            ihdr.push_back(static_cast<std::uint8_t>(v >> shift));
    ihdr.insert(ihdr.end(), {8, 0, 0, 0, 0}); // 8 bits, grey, deflate, no filter, no interlace
    putChunk(out, "IHDR", ihdr);
    // Each row is a filter byte and WIDTH zero bytes, deflated one row at a time.
    z_stream z{};
    deflateInit(&z, Z_BEST_COMPRESSION);
    Bytes row(width + 1, 0), idat, buffer(64u << 10);
    for (std::uint32_t y = 0; y < rows; ++y) {
        z.next_in = row.data();
        z.avail_in = static_cast<uInt>(row.size());
        const int flush = y + 1 == rows ? Z_FINISH : Z_NO_FLUSH;
        do {
            z.next_out = buffer.data();
            z.avail_out = static_cast<uInt>(buffer.size());
            deflate(&z, flush);
            idat.insert(idat.end(), buffer.begin(), buffer.end() - z.avail_out);
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    putChunk(out, "IDAT", idat);
    putChunk(out, "IEND", {});
    return out;
}

// An .ico whose COUNT entries each claim `claimed` bytes at offset 0, padded to `size` bytes.
Bytes claimingIco(std::uint16_t count, std::uint32_t claimed, std::size_t size) {
    Bytes out;
    putU16(out, 0);
    putU16(out, 1);
    putU16(out, count);
    for (std::uint16_t i = 0; i < count; ++i) {
        out.insert(out.end(), {32, 32, 0, 0});
        putU16(out, 1);
        putU16(out, 32);
        putU32(out, claimed); // dwBytesInRes
        putU32(out, 0);       // dwImageOffset
    }
    out.resize(std::max(out.size(), size), 0);
    return out;
}

} // namespace

std::vector<Bomb> makeBombs() {
    std::vector<Bomb> bombs;
    constexpr std::uint32_t k16MiB = 16u << 20;
    bombs.push_back({"ico-65535-images-past-the-end", claimingIco(65535, k16MiB, 1u << 20)});
    bombs.push_back({"ico-256-images-past-the-end", claimingIco(256, k16MiB, 1u << 20)});

    const auto big = makePicture(256, 256, std::vector<std::uint32_t>(256 * 256, 0xFF336699u));
    const ImageSpec image{0, 0, 32, 1, makeDib(big)};
    bombs.push_back(
        {"pe-256-entries-one-image",
         makePe(iconGroupResources(std::uint16_t(1), std::vector<ImageSpec>(256, image)))});

    bombs.push_back({"png-65535x65535-header", makeIco({{0, 0, 32, 1, greyPng(65535, 65535, 1)}})});
    bombs.push_back(
        {"png-4096x4096-of-zeros", makeIco({{0, 0, 32, 1, greyPng(4096, 4096, 4096)}})});

    const auto small = makePicture(16, 16, std::vector<std::uint32_t>(16 * 16, 0xFF336699u));
    const ImageSpec smallImage{16, 16, 32, 1, makeDib(small)};
    std::vector<ResourceSpec> groups = {{std::uint16_t(3), std::uint16_t(1), 0, smallImage.data}};
    const Bytes directory = makeGroupDirectory({smallImage});
    for (std::uint32_t id = 1; id <= 65535; ++id)
        groups.push_back({std::uint16_t(14), std::uint16_t(id), 0, directory});
    bombs.push_back({"pe-65535-groups", makePe(groups)});
    return bombs;
}

} // namespace quorvane::testing
