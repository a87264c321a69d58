// DIB icon images: the header, the colour table, the colour rows and the AND mask.
#include "Dib.h"

#include "ByteReader.h"
#include "Records.h"

#include <algorithm>
#include <array>
#include <bit>

namespace quorvane::icons {
namespace {

using records::BitmapCoreHeader;
using records::BitmapInfoHeader;

constexpr std::uint32_t kMaxColourTableEntries = 4096;

// Extracts the field that a bit-field mask selects, scaled to 0..255.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint32_t max = 0;

    explicit Channel(std::uint32_t m) : mask(m) {
        if (mask == 0)
            return;
        shift = std::countr_zero(mask);
        max = mask >> shift;
    }
    std::uint32_t operator()(std::uint32_t value) const {
        if (max == 0)
            return 0;
        std::uint64_t field = (value & mask) >> shift;
        return static_cast<std::uint32_t>((field * 255 + max / 2) / max);
    }
};

// What a DIB's header says about its pixels.
struct DibLayout {
    std::int64_t width = 0;
    std::int64_t height = 0; // of the colour image: half the stored height
    std::uint32_t bitCount = 0;
    std::uint32_t compression = BitmapInfoHeader::BI_RGB;
    std::uint32_t clrUsed = 0;
    std::size_t paletteEntrySize = 4; // RGBQUAD; RGBTRIPLE after a BITMAPCOREHEADER
    std::uint64_t tableAt = 0;        // where the colour table starts
    std::array<std::uint32_t, 3> masks{};
};

// The header's own fields: a BITMAPCOREHEADER, or a BITMAPINFOHEADER or one of its later forms
// (with the bit-field masks after the 40-byte form or inside the later ones). The height is
// the stored one, colour image and AND mask together.
Result<DibLayout> readHeaderFields(const ByteReader& dib, std::int64_t& storedHeight) {
    auto headerSize = dib.u32(BitmapInfoHeader::biSize);
    if (!headerSize)
        return fail(IconError::Undecodable);
    DibLayout d;
    d.tableAt = *headerSize;
    if (*headerSize == BitmapCoreHeader::kSize) {
        if (!dib.has(0, BitmapCoreHeader::kSize))
            return fail(IconError::Undecodable);
        d.width = *dib.u16(BitmapCoreHeader::bcWidth);
        storedHeight = *dib.u16(BitmapCoreHeader::bcHeight);
        d.bitCount = *dib.u16(BitmapCoreHeader::bcBitCount);
        d.paletteEntrySize = 3;
        return d;
    }
    if (*headerSize < BitmapInfoHeader::kSize || !dib.has(0, *headerSize))
        return fail(IconError::Undecodable);
    d.width = *dib.i32(BitmapInfoHeader::biWidth);
    storedHeight = *dib.i32(BitmapInfoHeader::biHeight);
    d.bitCount = *dib.u16(BitmapInfoHeader::biBitCount);
    d.compression = *dib.u32(BitmapInfoHeader::biCompression);
    d.clrUsed = *dib.u32(BitmapInfoHeader::biClrUsed);
    if (d.compression == BitmapInfoHeader::BI_BITFIELDS) {
        if (*headerSize == BitmapInfoHeader::kSize)
            d.tableAt += 12;
        auto masks = dib.sub(BitmapInfoHeader::kMasks, 12);
        if (!masks)
            return fail(IconError::Undecodable);
        d.masks = {*masks->u32(0), *masks->u32(4), *masks->u32(8)};
    }
    return d;
}

Result<DibLayout> readDibHeader(const ByteReader& dib) {
    std::int64_t storedHeight = 0;
    auto read = readHeaderFields(dib, storedHeight);
    if (!read)
        return read;
    DibLayout d = *read;
    if (d.compression != BitmapInfoHeader::BI_RGB &&
        d.compression != BitmapInfoHeader::BI_BITFIELDS)
        return fail(IconError::Undecodable);
    if (d.compression == BitmapInfoHeader::BI_BITFIELDS && d.bitCount != 16 && d.bitCount != 32)
        return fail(IconError::Undecodable);
    if (d.bitCount != 1 && d.bitCount != 4 && d.bitCount != 8 && d.bitCount != 16 &&
        d.bitCount != 24 && d.bitCount != 32)
        return fail(IconError::Undecodable);
    // The stored height covers the colour image and the AND mask below it.
    d.height = storedHeight / 2;
    if (d.width <= 0 || d.height <= 0)
        return fail(IconError::Undecodable);
    if (d.width > kMaxImageSide || d.height > kMaxImageSide)
        return fail(IconError::TooLarge);
    if (d.clrUsed == 0 && d.bitCount <= 8)
        d.clrUsed = 1u << d.bitCount;
    if (d.clrUsed > kMaxColourTableEntries)
        return fail(IconError::Undecodable);
    return d;
}

// The colour table of an indexed DIB: 2, 16 or 256 colours, black where the table is shorter.
Result<std::vector<std::uint32_t>> readPalette(const ByteReader& dib, const DibLayout& d) {
    std::vector<std::uint32_t> palette(std::size_t(1) << std::min<std::uint32_t>(d.bitCount, 8), 0);
    auto table = dib.sub(d.tableAt, std::uint64_t(d.clrUsed) * d.paletteEntrySize);
    if (!table)
        return fail(IconError::Undecodable);
    if (d.bitCount <= 8) {
        std::size_t usable = std::min<std::size_t>(d.clrUsed, palette.size());
        for (std::size_t i = 0; i < usable; ++i) {
            const std::uint64_t at = i * d.paletteEntrySize;
            palette[i] = argb(0, *table->u8(at + 2), *table->u8(at + 1), *table->u8(at));
        }
    }
    return palette;
}

// Decodes the XOR rows (stored bottom-up) into the bitmap; true when a 32-bit image carries
// any alpha.
bool decodeColourRows(const ByteReader& rows, std::uint64_t stride, const DibLayout& d,
                      const std::vector<std::uint32_t>& palette, IconBitmap& bitmap) {
    Channel red(d.masks[0]), green(d.masks[1]), blue(d.masks[2]);
    if (d.compression == BitmapInfoHeader::BI_RGB && d.bitCount == 16) {
        red = Channel(0x7C00);
        green = Channel(0x03E0);
        blue = Channel(0x001F);
    }
    const bool bitfields = d.compression == BitmapInfoHeader::BI_BITFIELDS;
    const bool bitfieldAlpha = bitfields && d.bitCount == 32 &&
                               ((d.masks[0] | d.masks[1] | d.masks[2]) & 0xFF000000u) == 0;
    const std::size_t w = std::size_t(bitmap.width());
    const std::size_t h = std::size_t(bitmap.height());
    bool anyAlpha = false;
    for (std::size_t row = 0; row < h; ++row) {
        std::span<const std::uint8_t> src = rows.bytes().subspan((h - 1 - row) * stride, stride);
        std::uint32_t* out = bitmap.row(static_cast<int>(row));
        for (std::size_t x = 0; x < w; ++x) {
            switch (d.bitCount) {
            case 1:
                out[x] = palette[(src[x / 8] >> (7 - x % 8)) & 1];
                break;
            case 4:
                out[x] = palette[(src[x / 2] >> (x % 2 ? 0 : 4)) & 0xF];
                break;
            case 8:
                out[x] = palette[src[x]];
                break;
            case 16: {
                const std::uint32_t v = src[2 * x] | (std::uint32_t{src[2 * x + 1]} << 8);
                out[x] = argb(0, red(v), green(v), blue(v));
                break;
            }
            case 24:
                out[x] = argb(0, src[3 * x + 2], src[3 * x + 1], src[3 * x]);
                break;
            case 32: {
                const std::uint32_t v = src[4 * x] | (std::uint32_t{src[4 * x + 1]} << 8) |
                                        (std::uint32_t{src[4 * x + 2]} << 16) |
                                        (std::uint32_t{src[4 * x + 3]} << 24);
                out[x] =
                    bitfields ? argb(bitfieldAlpha ? v >> 24 : 0, red(v), green(v), blue(v)) : v;
                anyAlpha = anyAlpha || (out[x] >> 24) != 0;
                break;
            }
            default: // readDibHeader lets no other depth through
                break;
            }
        }
    }
    return anyAlpha;
}

// The AND mask rows (stored bottom-up, one bit a pixel) into the bitmap's mask.
void decodeMaskRows(const ByteReader& rows, std::uint64_t stride, IconBitmap& bitmap) {
    const std::size_t w = std::size_t(bitmap.width());
    const std::size_t h = std::size_t(bitmap.height());
    std::span<std::uint8_t> mask = bitmap.writableMask();
    for (std::size_t row = 0; row < h; ++row) {
        std::span<const std::uint8_t> m = rows.bytes().subspan((h - 1 - row) * stride, stride);
        for (std::size_t x = 0; x < w; ++x)
            mask[row * w + x] = (m[x / 8] >> (7 - x % 8)) & 1;
    }
}

} // namespace

Result<IconBitmap> decodeDib(std::span<const std::uint8_t> bytes) {
    ByteReader dib(bytes);
    auto d = readDibHeader(dib);
    if (!d)
        return fail(d.error());
    auto palette = readPalette(dib, *d);
    if (!palette)
        return fail(palette.error());
    auto bitmap = IconBitmap::create(static_cast<int>(d->width), static_cast<int>(d->height));
    if (!bitmap)
        return fail(bitmap.error());
    const std::uint64_t w = std::uint64_t(d->width);
    const std::uint64_t h = std::uint64_t(d->height);
    const std::uint64_t pixelsAt = d->tableAt + std::uint64_t(d->clrUsed) * d->paletteEntrySize;
    const std::uint64_t xorStride = ((w * d->bitCount + 31) / 32) * 4;
    const std::uint64_t andStride = ((w + 31) / 32) * 4;
    auto xorRows = dib.sub(pixelsAt, xorStride * h);
    if (!xorRows)
        return fail(IconError::Undecodable);
    const bool anyAlpha = decodeColourRows(*xorRows, xorStride, *d, *palette, *bitmap);
    // A mask that is cut short counts as opaque: such icons still show their colour image.
    if (auto andRows = dib.sub(pixelsAt + xorStride * h, andStride * h))
        decodeMaskRows(*andRows, andStride, *bitmap);
    // A 32-bit image with an all-zero alpha channel is plain colour with a mask.
    bitmap->setHasAlpha(d->bitCount == 32 && anyAlpha);
    if (!bitmap->hasAlpha()) {
        for (std::uint32_t& p : bitmap->writablePixels())
            p |= 0xFF000000u;
    }
    return bitmap;
}

} // namespace quorvane::icons
