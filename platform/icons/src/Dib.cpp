// DIB icon images: the header, the colour table, the colour rows and the AND mask.
#include "Dib.h"

#include "ByteReader.h"
#include "Records.h"

#include <algorithm>
#include <array>
#include <bit>
#include <string>

namespace quorvane::icons {
namespace {

using namespace records;

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

Result<DibLayout> undecodable(const std::string& why) {
    return fail(IconError::Undecodable, "DIB: " + why);
}

// The header's own fields: a BITMAPCOREHEADER, or a BITMAPINFOHEADER or one of its later forms
// (with the bit-field masks after the 40-byte form or inside the later ones). The height is
// the stored one, colour image and AND mask together.
Result<DibLayout> readHeaderFields(const ByteReader& dib, std::int64_t& storedHeight) {
    auto headerSize = dib.record<Le32>();
    if (!headerSize)
        return undecodable("no header");
    DibLayout d;
    d.tableAt = *headerSize;
    if (auto core = dib.record<BitmapCoreHeader>(); core && *headerSize == sizeof(*core)) {
        d.width = core->bcWidth;
        storedHeight = core->bcHeight;
        d.bitCount = core->bcBitCount;
        d.paletteEntrySize = 3;
        return d;
    }
    auto info = dib.record<BitmapInfoHeader>();
    if (*headerSize < sizeof(BitmapInfoHeader) || !info || !dib.has(0, *headerSize))
        return undecodable("header size " + std::to_string(*headerSize) +
                           " is neither 12 nor 40 or more, or the header is cut short");
    d.width = info->biWidth;
    storedHeight = info->biHeight;
    d.bitCount = info->biBitCount;
    d.compression = info->biCompression;
    d.clrUsed = info->biClrUsed;
    if (d.compression == BitmapInfoHeader::BI_BITFIELDS) {
        if (*headerSize == sizeof(BitmapInfoHeader))
            d.tableAt += sizeof(BitfieldMasks);
        auto masks = dib.record<BitfieldMasks>(sizeof(BitmapInfoHeader));
        if (!masks)
            return undecodable("the bit-field masks are cut short");
        d.masks = {masks->red, masks->green, masks->blue};
    }
    return d;
}

Result<DibLayout> readDibHeader(const ByteReader& dib) {
    std::int64_t storedHeight = 0;
    auto read = readHeaderFields(dib, storedHeight);
    if (!read)
        return read;
    DibLayout d = *read;
    const std::string bits = std::to_string(d.bitCount) + " bits a pixel";
    if (d.compression != BitmapInfoHeader::BI_RGB &&
        d.compression != BitmapInfoHeader::BI_BITFIELDS)
        return undecodable("compression " + std::to_string(d.compression) +
                           " is neither BI_RGB nor BI_BITFIELDS");
    if (d.compression == BitmapInfoHeader::BI_BITFIELDS && d.bitCount != 16 && d.bitCount != 32)
        return undecodable("BI_BITFIELDS with " + bits);
    if (d.bitCount != 1 && d.bitCount != 4 && d.bitCount != 8 && d.bitCount != 16 &&
        d.bitCount != 24 && d.bitCount != 32)
        return undecodable(bits + " is none of 1, 4, 8, 16, 24 and 32");
    // The stored height covers the colour image and the AND mask below it.
    d.height = storedHeight / 2;
    if (d.width <= 0 || d.height <= 0)
        return undecodable("a picture of " + std::to_string(d.width) + "x" +
                           std::to_string(d.height) + " pixels");
    if (d.width > kMaxImageSide || d.height > kMaxImageSide)
        return fail(IconError::TooLarge, "DIB: a picture of " + std::to_string(d.width) + "x" +
                                             std::to_string(d.height) +
                                             " pixels, more than 1024 a side");
    if (d.clrUsed == 0 && d.bitCount <= 8)
        d.clrUsed = 1u << d.bitCount;
    if (d.clrUsed > kMaxColourTableEntries)
        return undecodable("a colour table of " + std::to_string(d.clrUsed) +
                           " entries, more than " + std::to_string(kMaxColourTableEntries));
    return d;
}

// The colour table of an indexed DIB: 2, 16 or 256 colours, black where the table is shorter.
Result<std::vector<std::uint32_t>> readPalette(const ByteReader& dib, const DibLayout& d) {
    std::vector<std::uint32_t> palette(std::size_t(1) << std::min<std::uint32_t>(d.bitCount, 8), 0);
    auto table = dib.sub(d.tableAt, std::uint64_t(d.clrUsed) * d.paletteEntrySize);
    if (!table)
        return fail(IconError::Undecodable, "DIB: the colour table of " +
                                                std::to_string(d.clrUsed) +
                                                " entries is cut short");
    if (d.bitCount <= 8) {
        std::size_t usable = std::min<std::size_t>(d.clrUsed, palette.size());
        for (std::size_t i = 0; i < usable; ++i) {
            auto blue = table->bytes().subspan(i * d.paletteEntrySize);
            palette[i] = argb(0, blue[2], blue[1], blue[0]);
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
        return tl::unexpected(d.error());
    auto palette = readPalette(dib, *d);
    if (!palette)
        return tl::unexpected(palette.error());
    auto bitmap = IconBitmap::create(static_cast<int>(d->width), static_cast<int>(d->height));
    if (!bitmap)
        return failAt("DIB", bitmap.error());
    const std::uint64_t w = std::uint64_t(d->width);
    const std::uint64_t h = std::uint64_t(d->height);
    const std::uint64_t pixelsAt = d->tableAt + std::uint64_t(d->clrUsed) * d->paletteEntrySize;
    const std::uint64_t xorStride = ((w * d->bitCount + 31) / 32) * 4;
    const std::uint64_t andStride = ((w + 31) / 32) * 4;
    auto xorRows = dib.sub(pixelsAt, xorStride * h);
    if (!xorRows)
        return fail(IconError::Undecodable, "DIB: the colour rows (" +
                                                std::to_string(xorStride * h) +
                                                " bytes) are cut short");
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
