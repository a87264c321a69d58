// DIB and PNG decoding, scaling and compositing of icon pictures.
#include "IconImage.h"

#include "ByteReader.h"
#include "Png.h"
#include "Records.h"

#include <algorithm>
#include <array>
#include <bit>

namespace quorvane::icons {
namespace {

using records::BitmapCoreHeader;
using records::BitmapInfoHeader;

constexpr std::uint32_t kMaxColourTableEntries = 4096;

std::uint32_t argb(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

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

Result<DibLayout> readDibHeader(const ByteReader& dib) {
    auto headerSize = dib.u32(BitmapInfoHeader::biSize);
    if (!headerSize)
        return fail(IconError::Undecodable);
    DibLayout d;
    d.tableAt = *headerSize;
    std::int64_t storedHeight = 0;
    if (*headerSize == BitmapCoreHeader::kSize) {
        if (!dib.has(0, BitmapCoreHeader::kSize))
            return fail(IconError::Undecodable);
        d.width = *dib.u16(BitmapCoreHeader::bcWidth);
        storedHeight = *dib.u16(BitmapCoreHeader::bcHeight);
        d.bitCount = *dib.u16(BitmapCoreHeader::bcBitCount);
        d.paletteEntrySize = 3;
    } else if (*headerSize >= BitmapInfoHeader::kSize) { // and its later forms
        if (!dib.has(0, *headerSize))
            return fail(IconError::Undecodable);
        d.width = *dib.i32(BitmapInfoHeader::biWidth);
        storedHeight = *dib.i32(BitmapInfoHeader::biHeight);
        d.bitCount = *dib.u16(BitmapInfoHeader::biBitCount);
        d.compression = *dib.u32(BitmapInfoHeader::biCompression);
        d.clrUsed = *dib.u32(BitmapInfoHeader::biClrUsed);
        if (d.compression == BitmapInfoHeader::BI_BITFIELDS) {
            // With the 40-byte header the three masks follow it; later headers hold them.
            if (*headerSize == BitmapInfoHeader::kSize)
                d.tableAt += 12;
            auto masks = dib.sub(BitmapInfoHeader::kMasks, 12);
            if (!masks)
                return fail(IconError::Undecodable);
            d.masks = {*masks->u32(0), *masks->u32(4), *masks->u32(8)};
        }
    } else {
        return fail(IconError::Undecodable);
    }
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

// The source pixel under the centre of output pixel (x, y): how a mask is scaled, and how a
// picture is enlarged, each source pixel becoming a block of whole pixels.
struct Nearest {
    std::size_t sw, sh, tw, th;
    std::size_t operator()(std::size_t x, std::size_t y) const {
        const std::size_t sx = std::min(sw - 1, (2 * x + 1) * sw / (2 * tw));
        const std::size_t sy = std::min(sh - 1, (2 * y + 1) * sh / (2 * th));
        return sy * sw + sx;
    }
};

// Area averaging: every output pixel covers a rectangle of the source of size
// (sw/tw) x (sh/th); source pixels count by how much of them lies inside it. Coordinates are
// kept in units of 1/tw (across) and 1/th (down) of a source pixel so the weights are exact
// integers. Colours average in premultiplied alpha, so that transparent pixels lend no colour.
// A picture without alpha averages only the pixels whose mask is the output pixel's: the
// colours under the mask are the screen's, not the picture's, and must not bleed into it.
void areaAverage(const IconBitmap& src, IconBitmap& out) {
    const std::size_t sw = std::size_t(src.width()), sh = std::size_t(src.height());
    const std::size_t tw = std::size_t(out.width()), th = std::size_t(out.height());
    std::span<std::uint32_t> pixels = out.writablePixels();
    for (std::size_t y = 0; y < th; ++y) {
        const std::size_t y0 = y * sh, y1 = y0 + sh; // in 1/th source pixels
        for (std::size_t x = 0; x < tw; ++x) {
            const std::size_t x0 = x * sw, x1 = x0 + sw; // in 1/tw source pixels
            const std::uint8_t mask = out.mask()[y * tw + x];
            std::uint64_t sumA = 0, sumR = 0, sumG = 0, sumB = 0, total = 0;
            for (std::size_t sy = y0 / th; sy * th < y1; ++sy) {
                const std::size_t wy = std::min(y1, (sy + 1) * th) - std::max(y0, sy * th);
                for (std::size_t sx = x0 / tw; sx * tw < x1; ++sx) {
                    const std::size_t wx = std::min(x1, (sx + 1) * tw) - std::max(x0, sx * tw);
                    if (!src.hasAlpha() && src.mask()[sy * sw + sx] != mask)
                        continue;
                    const std::uint64_t weight = std::uint64_t(wx) * wy;
                    const std::uint32_t p = src.pixels()[sy * sw + sx];
                    const std::uint64_t a = src.hasAlpha() ? (p >> 24) : 255;
                    sumA += a * weight;
                    sumR += ((p >> 16) & 0xFF) * a * weight;
                    sumG += ((p >> 8) & 0xFF) * a * weight;
                    sumB += (p & 0xFF) * a * weight;
                    total += weight;
                }
            }
            std::uint32_t pixel = 0;
            if (sumA > 0) {
                auto channel = [&](std::uint64_t sum) {
                    return static_cast<std::uint32_t>((sum + sumA / 2) / sumA);
                };
                const auto a = static_cast<std::uint32_t>((sumA + total / 2) / total);
                pixel = argb(src.hasAlpha() ? a : 255, channel(sumR), channel(sumG), channel(sumB));
            }
            pixels[y * tw + x] = pixel;
        }
    }
}

} // namespace

IconBitmap::IconBitmap(int width, int height)
    : m_width(width), m_height(height), m_pixels(std::size_t(width) * std::size_t(height), 0),
      m_mask(m_pixels.size(), 0) {}

Result<IconBitmap> IconBitmap::create(int width, int height) {
    if (width < 1 || height < 1 || width > kMaxImageSide || height > kMaxImageSide ||
        std::size_t(width) * std::size_t(height) > kMaxImagePixels)
        return fail(IconError::TooLarge);
    return IconBitmap(width, height);
}

Result<IconBitmap> IconBitmap::fromPixels(int width, int height, std::vector<std::uint32_t> pixels,
                                          std::vector<std::uint8_t> mask, bool hasAlpha) {
    auto bitmap = create(width, height);
    if (!bitmap)
        return bitmap;
    if (mask.empty())
        mask.assign(pixels.size(), 0);
    if (pixels.size() != bitmap->m_pixels.size() || mask.size() != pixels.size())
        return fail(IconError::Malformed);
    bitmap->m_pixels = std::move(pixels);
    bitmap->m_mask = std::move(mask);
    bitmap->m_hasAlpha = hasAlpha;
    return bitmap;
}

Result<IconBitmap> decodeImage(std::span<const std::uint8_t> bytes) {
    return imageFormat(bytes) == ImageFormat::Png ? decodePng(bytes) : decodeDib(bytes);
}

Result<IconBitmap> scaleTo(const IconBitmap& src, int width, int height) {
    if (src.width() == width && src.height() == height)
        return src;
    auto created = IconBitmap::create(width, height);
    if (!created)
        return created;
    IconBitmap& out = *created;
    out.setHasAlpha(src.hasAlpha());
    const Nearest nearest{std::size_t(src.width()), std::size_t(src.height()), std::size_t(width),
                          std::size_t(height)};
    std::span<std::uint8_t> mask = out.writableMask();
    std::span<std::uint32_t> pixels = out.writablePixels();
    const bool enlarging = width >= src.width() && height >= src.height();
    for (std::size_t y = 0; y < std::size_t(height); ++y) {
        for (std::size_t x = 0; x < std::size_t(width); ++x) {
            const std::size_t at = y * std::size_t(width) + x;
            mask[at] = src.mask()[nearest(x, y)];
            if (enlarging)
                pixels[at] = src.pixels()[nearest(x, y)];
        }
    }
    if (!enlarging)
        areaAverage(src, out);
    return created;
}

IconBitmap maskAsAlpha(const IconBitmap& src) {
    if (src.hasAlpha())
        return src;
    IconBitmap out = src;
    std::span<std::uint32_t> pixels = out.writablePixels();
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = src.mask()[i] ? 0 : (pixels[i] | 0xFF000000u);
    out.setHasAlpha(true);
    return out;
}

void drawIconBitmap(Surface surface, int x, int y, const IconBitmap& icon) {
    for (int row = 0; row < icon.height(); ++row) {
        const int ty = y + row;
        if (ty < 0 || ty >= surface.height)
            continue;
        std::uint32_t* line = surface.pixels + std::ptrdiff_t(ty) * surface.stride;
        for (int col = 0; col < icon.width(); ++col) {
            const int tx = x + col;
            if (tx < 0 || tx >= surface.width)
                continue;
            const std::size_t i = std::size_t(row) * std::size_t(icon.width()) + std::size_t(col);
            const std::uint32_t c = icon.pixels()[i];
            std::uint32_t& d = line[tx];
            if (icon.hasAlpha()) {
                const std::uint32_t a = c >> 24;
                auto blend = [a](std::uint32_t s, std::uint32_t t) {
                    return (s * a + t * (255 - a) + 127) / 255;
                };
                d = (d & 0xFF000000u) | argb(0, blend((c >> 16) & 0xFF, (d >> 16) & 0xFF),
                                             blend((c >> 8) & 0xFF, (d >> 8) & 0xFF),
                                             blend(c & 0xFF, d & 0xFF));
            } else {
                const std::uint32_t andMask = icon.mask()[i] ? 0x00FFFFFFu : 0;
                d = (d & 0xFF000000u) | (((d & andMask) ^ c) & 0x00FFFFFFu);
            }
        }
    }
}

} // namespace quorvane::icons
