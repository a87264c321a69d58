// Scaling icon pictures: nearest pixels to enlarge, area averaging to shrink.
#include "quorvane/icons/Scaling.h"

#include <algorithm>
#include <span>

namespace quorvane::icons {
namespace {

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

// Sums of weighted channels, the colours premultiplied by alpha.
struct Sums {
    std::uint64_t a = 0, r = 0, g = 0, b = 0, total = 0;

    void add(std::uint32_t p, std::uint64_t alpha, std::uint64_t weight) {
        a += alpha * weight;
        r += ((p >> 16) & 0xFF) * alpha * weight;
        g += ((p >> 8) & 0xFF) * alpha * weight;
        b += (p & 0xFF) * alpha * weight;
        total += weight;
    }
    // The average pixel, opaque unless the picture has alpha; 0 where nothing shows.
    std::uint32_t average(bool hasAlpha) const {
        if (a == 0)
            return 0;
        auto channel = [this](std::uint64_t sum) {
            return static_cast<std::uint32_t>((sum + a / 2) / a);
        };
        const auto alpha = static_cast<std::uint32_t>((a + total / 2) / total);
        return argb(hasAlpha ? alpha : 255, channel(r), channel(g), channel(b));
    }
};

// Area averaging: every output pixel covers a rectangle of the source of size
// (sw/tw) x (sh/th); source pixels count by how much of them lies inside it. Coordinates are
// kept in units of 1/tw (across) and 1/th (down) of a source pixel so the weights are exact
// integers. Colours average in premultiplied alpha, so that transparent pixels lend no colour.
// A picture without alpha averages only the pixels whose mask is the output pixel's: the
// colours under the mask are the screen's, not the picture's, and must not bleed into it.
std::uint32_t areaAverage(const IconBitmap& src, std::size_t tw, std::size_t th, std::size_t x,
                          std::size_t y, std::uint8_t mask) {
    const std::size_t sw = std::size_t(src.width()), sh = std::size_t(src.height());
    const std::size_t x0 = x * sw, x1 = x0 + sw; // in 1/tw source pixels
    const std::size_t y0 = y * sh, y1 = y0 + sh; // in 1/th source pixels
    Sums sums;
    for (std::size_t sy = y0 / th; sy * th < y1; ++sy) {
        const std::size_t wy = std::min(y1, (sy + 1) * th) - std::max(y0, sy * th);
        for (std::size_t sx = x0 / tw; sx * tw < x1; ++sx) {
            const std::size_t wx = std::min(x1, (sx + 1) * tw) - std::max(x0, sx * tw);
            if (!src.hasAlpha() && src.mask()[sy * sw + sx] != mask)
                continue;
            const std::uint32_t p = src.pixels()[sy * sw + sx];
            sums.add(p, src.hasAlpha() ? (p >> 24) : 255, std::uint64_t(wx) * wy);
        }
    }
    return sums.average(src.hasAlpha());
}

} // namespace

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
    for (std::size_t y = 0; !enlarging && y < std::size_t(height); ++y)
        for (std::size_t x = 0; x < std::size_t(width); ++x) {
            const std::size_t at = y * std::size_t(width) + x;
            pixels[at] = areaAverage(src, std::size_t(width), std::size_t(height), x, y, mask[at]);
        }
    return created;
}

} // namespace quorvane::icons
