// Drawing icon pictures onto a 32-bit surface.
#include "quorvane/icons/Drawing.h"

namespace quorvane::icons {

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
