// DIB and PNG decoding, scaling and compositing of icon pictures.
#include "IconImage.h"

#include "ByteReader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <png.h>

namespace quorvane::icons {
namespace {

constexpr std::array<std::uint8_t, 8> kPngSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;
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

Result<IconBitmap> decodePng(std::span<const std::uint8_t> bytes) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()))
        return fail(IconError::Undecodable);
    if (image.width == 0 || image.height == 0 || image.width > kMaxPngDimension ||
        image.height > kMaxPngDimension) {
        png_image_free(&image);
        return fail(IconError::TooLarge);
    }
    image.format = PNG_FORMAT_BGRA;
    IconBitmap bitmap;
    bitmap.width = static_cast<int>(image.width);
    bitmap.height = static_cast<int>(image.height);
    std::vector<std::uint8_t> buffer(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, buffer.data(), 0, nullptr)) {
        png_image_free(&image);
        return fail(IconError::Undecodable);
    }
    std::size_t count = std::size_t(bitmap.width) * std::size_t(bitmap.height);
    bitmap.pixels.resize(count);
    bitmap.mask.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* p = &buffer[4 * i];
        bitmap.pixels[i] = argb(p[3], p[2], p[1], p[0]);
        // The mask of a PNG icon follows its alpha: fully transparent pixels show the screen.
        bitmap.mask[i] = p[3] == 0 ? 1 : 0;
    }
    bitmap.hasAlpha = true;
    return bitmap;
}

Result<IconBitmap> decodeDib(std::span<const std::uint8_t> bytes) {
    ByteReader dib(bytes);
    auto headerSize = dib.u32(0);
    if (!headerSize)
        return fail(IconError::Undecodable);
    std::int64_t width = 0;
    std::int64_t storedHeight = 0;
    std::uint32_t bitCount = 0;
    std::uint32_t compression = kBiRgb;
    std::uint32_t clrUsed = 0;
    std::size_t paletteEntrySize = 4;
    std::uint64_t tableAt = *headerSize;
    std::array<std::uint32_t, 3> masks{};
    if (*headerSize == 12) { // BITMAPCOREHEADER
        if (!dib.has(0, 12))
            return fail(IconError::Undecodable);
        width = *dib.u16(4);
        storedHeight = *dib.u16(6);
        bitCount = *dib.u16(10);
        paletteEntrySize = 3;
    } else if (*headerSize >= 40) { // BITMAPINFOHEADER and its later forms
        if (!dib.has(0, *headerSize))
            return fail(IconError::Undecodable);
        width = *dib.i32(4);
        storedHeight = *dib.i32(8);
        bitCount = *dib.u16(14);
        compression = *dib.u32(16);
        clrUsed = *dib.u32(32);
        if (compression == kBiBitfields) {
            // With the 40-byte header the three masks follow it; later headers hold them.
            std::uint64_t masksAt = 40;
            if (*headerSize == 40)
                tableAt += 12;
            if (!dib.has(masksAt, 12))
                return fail(IconError::Undecodable);
            masks = {*dib.u32(masksAt), *dib.u32(masksAt + 4), *dib.u32(masksAt + 8)};
        }
    } else {
        return fail(IconError::Undecodable);
    }
    if (compression != kBiRgb && compression != kBiBitfields)
        return fail(IconError::Undecodable);
    if (compression == kBiBitfields && bitCount != 16 && bitCount != 32)
        return fail(IconError::Undecodable);
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
        bitCount != 32)
        return fail(IconError::Undecodable);
    // The stored height covers the colour image and the AND mask below it.
    std::int64_t height = storedHeight / 2;
    if (width <= 0 || height <= 0)
        return fail(IconError::Undecodable);
    if (width > kMaxDibDimension || height > kMaxDibDimension)
        return fail(IconError::TooLarge);

    if (clrUsed == 0 && bitCount <= 8)
        clrUsed = 1u << bitCount;
    if (clrUsed > kMaxColourTableEntries)
        return fail(IconError::Undecodable);
    std::vector<std::uint32_t> palette(std::size_t(1) << std::min<std::uint32_t>(bitCount, 8), 0);
    if (!dib.has(tableAt, std::uint64_t(clrUsed) * paletteEntrySize))
        return fail(IconError::Undecodable);
    if (bitCount <= 8) {
        std::size_t usable = std::min<std::size_t>(clrUsed, palette.size());
        for (std::size_t i = 0; i < usable; ++i) {
            std::uint64_t at = tableAt + i * paletteEntrySize;
            palette[i] = argb(0, *dib.u8(at + 2), *dib.u8(at + 1), *dib.u8(at));
        }
    }
    std::uint64_t pixelsAt = tableAt + std::uint64_t(clrUsed) * paletteEntrySize;

    const std::size_t w = static_cast<std::size_t>(width);
    const std::size_t h = static_cast<std::size_t>(height);
    const std::uint64_t xorStride = ((w * bitCount + 31) / 32) * 4;
    const std::uint64_t andStride = ((w + 31) / 32) * 4;
    auto xorRows = dib.sub(pixelsAt, xorStride * h);
    if (!xorRows)
        return fail(IconError::Undecodable);
    // A mask that is cut short counts as opaque: such icons still show their colour image.
    auto andRows = dib.sub(pixelsAt + xorStride * h, andStride * h);

    Channel red(masks[0]), green(masks[1]), blue(masks[2]);
    if (compression == kBiRgb && bitCount == 16) {
        red = Channel(0x7C00);
        green = Channel(0x03E0);
        blue = Channel(0x001F);
    }
    bool bitfieldAlpha = compression == kBiBitfields && bitCount == 32 &&
                         ((masks[0] | masks[1] | masks[2]) & 0xFF000000u) == 0;

    IconBitmap bitmap;
    bitmap.width = static_cast<int>(w);
    bitmap.height = static_cast<int>(h);
    bitmap.pixels.resize(w * h);
    bitmap.mask.assign(w * h, 0);
    bool anyAlpha = false;
    for (std::size_t row = 0; row < h; ++row) {
        // Rows are stored bottom-up.
        std::span<const std::uint8_t> src =
            xorRows->bytes().subspan((h - 1 - row) * xorStride, xorStride);
        std::uint32_t* out = &bitmap.pixels[row * w];
        for (std::size_t x = 0; x < w; ++x) {
            switch (bitCount) {
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
                std::uint32_t v = src[2 * x] | (src[2 * x + 1] << 8);
                out[x] = argb(0, red(v), green(v), blue(v));
                break;
            }
            case 24:
                out[x] = argb(0, src[3 * x + 2], src[3 * x + 1], src[3 * x]);
                break;
            case 32: {
                std::uint32_t v = src[4 * x] | (src[4 * x + 1] << 8) | (src[4 * x + 2] << 16) |
                                  (std::uint32_t(src[4 * x + 3]) << 24);
                if (compression == kBiBitfields)
                    out[x] = argb(bitfieldAlpha ? v >> 24 : 0, red(v), green(v), blue(v));
                else
                    out[x] = v;
                anyAlpha = anyAlpha || (out[x] >> 24) != 0;
                break;
            }
            }
        }
        if (andRows) {
            std::span<const std::uint8_t> m =
                andRows->bytes().subspan((h - 1 - row) * andStride, andStride);
            for (std::size_t x = 0; x < w; ++x)
                bitmap.mask[row * w + x] = (m[x / 8] >> (7 - x % 8)) & 1;
        }
    }
    // A 32-bit image with an all-zero alpha channel is plain colour with a mask.
    bitmap.hasAlpha = bitCount == 32 && anyAlpha;
    if (!bitmap.hasAlpha) {
        for (std::uint32_t& p : bitmap.pixels)
            p |= 0xFF000000u;
    }
    return bitmap;
}

} // namespace

ImageFormat imageFormat(std::span<const std::uint8_t> bytes) {
    if (bytes.size() >= kPngSignature.size() &&
        std::equal(kPngSignature.begin(), kPngSignature.end(), bytes.begin()))
        return ImageFormat::Png;
    return ImageFormat::Dib;
}

Result<IconBitmap> decodeImage(std::span<const std::uint8_t> bytes) {
    return imageFormat(bytes) == ImageFormat::Png ? decodePng(bytes) : decodeDib(bytes);
}

IconBitmap scaleToIconSize(const IconBitmap& src) {
    if (src.width == kIconSize && src.height == kIconSize)
        return src;
    IconBitmap out;
    out.width = kIconSize;
    out.height = kIconSize;
    out.hasAlpha = src.hasAlpha;
    out.pixels.resize(kIconPixels);
    out.mask.resize(kIconPixels);
    const std::size_t sw = static_cast<std::size_t>(src.width);
    const std::size_t sh = static_cast<std::size_t>(src.height);

    for (int y = 0; y < kIconSize; ++y) {
        for (int x = 0; x < kIconSize; ++x) {
            std::size_t mx =
                std::min(sw - 1, (2 * std::size_t(x) + 1) * sw / (2 * std::size_t{kIconSize}));
            std::size_t my =
                std::min(sh - 1, (2 * std::size_t(y) + 1) * sh / (2 * std::size_t{kIconSize}));
            out.mask[std::size_t(y) * kIconSize + std::size_t(x)] = src.mask[my * sw + mx];
        }
    }

    if (kIconSize % src.width == 0 && kIconSize % src.height == 0) {
        const int fx = kIconSize / src.width;
        const int fy = kIconSize / src.height;
        for (int y = 0; y < kIconSize; ++y)
            for (int x = 0; x < kIconSize; ++x)
                out.pixels[std::size_t(y) * kIconSize + std::size_t(x)] =
                    src.pixels[std::size_t(y / fy) * sw + std::size_t(x / fx)];
        return out;
    }

    // Area averaging: every output pixel covers a rectangle of the source of size
    // (sw/32) x (sh/32); source pixels count by how much of them lies inside it. Coordinates
    // are kept in units of 1/32 of a source pixel so the weights are exact integers.
    for (int y = 0; y < kIconSize; ++y) {
        const std::size_t y0 = std::size_t(y) * sh, y1 = y0 + sh; // in 1/32 source pixels
        for (int x = 0; x < kIconSize; ++x) {
            const std::size_t x0 = std::size_t(x) * sw, x1 = x0 + sw;
            std::uint64_t sumA = 0, sumR = 0, sumG = 0, sumB = 0, total = 0;
            for (std::size_t sy = y0 / kIconSize; sy * kIconSize < y1; ++sy) {
                std::size_t wy = std::min(y1, (sy + 1) * kIconSize) - std::max(y0, sy * kIconSize);
                for (std::size_t sx = x0 / kIconSize; sx * kIconSize < x1; ++sx) {
                    std::size_t wx =
                        std::min(x1, (sx + 1) * kIconSize) - std::max(x0, sx * kIconSize);
                    std::uint64_t weight = std::uint64_t(wx) * wy;
                    std::uint32_t p = src.pixels[sy * sw + sx];
                    std::uint64_t a = src.hasAlpha ? (p >> 24) : 255;
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
                std::uint32_t a = static_cast<std::uint32_t>((sumA + total / 2) / total);
                pixel = argb(src.hasAlpha ? a : 255, channel(sumR), channel(sumG), channel(sumB));
            }
            out.pixels[std::size_t(y) * kIconSize + std::size_t(x)] = pixel;
        }
    }
    return out;
}

void drawIconBitmap(Surface surface, int x, int y, const IconBitmap& icon) {
    for (int row = 0; row < icon.height; ++row) {
        const int ty = y + row;
        if (ty < 0 || ty >= surface.height)
            continue;
        std::uint32_t* line = surface.pixels + std::ptrdiff_t(ty) * surface.stride;
        for (int col = 0; col < icon.width; ++col) {
            const int tx = x + col;
            if (tx < 0 || tx >= surface.width)
                continue;
            const std::size_t i = std::size_t(row) * std::size_t(icon.width) + std::size_t(col);
            const std::uint32_t c = icon.pixels[i];
            std::uint32_t& d = line[tx];
            if (icon.hasAlpha) {
                const std::uint32_t a = c >> 24;
                auto blend = [a](std::uint32_t s, std::uint32_t t) {
                    return (s * a + t * (255 - a) + 127) / 255;
                };
                d = (d & 0xFF000000u) | argb(0, blend((c >> 16) & 0xFF, (d >> 16) & 0xFF),
                                             blend((c >> 8) & 0xFF, (d >> 8) & 0xFF),
                                             blend(c & 0xFF, d & 0xFF));
            } else {
                const std::uint32_t andMask = icon.mask[i] ? 0x00FFFFFFu : 0;
                d = (d & 0xFF000000u) | (((d & andMask) ^ c) & 0x00FFFFFFu);
            }
        }
    }
}

} // namespace quorvane::icons
