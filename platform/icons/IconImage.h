// Icon pictures: decoding DIB and PNG images, scaling to 32x32, and drawing onto a surface.
#pragma once

#include "Result.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quorvane::icons {

inline constexpr int kIconSize = 32;
inline constexpr std::size_t kIconPixels = std::size_t{kIconSize} * kIconSize;
inline constexpr int kMaxDibDimension = 1024;
inline constexpr int kMaxPngDimension = 4096;

// A decoded picture. Pixels are 0xAARRGGBB, rows top-down. The mask has one byte a pixel:
// 1 where the screen shows through (AND mask bit set). The alpha bytes count only when
// hasAlpha is true; otherwise colour and mask describe the picture.
struct IconBitmap {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    std::vector<std::uint8_t> mask;
    bool hasAlpha = false;
};

enum class ImageFormat { Dib, Png };

// PNG when the bytes start with the PNG signature, DIB otherwise.
ImageFormat imageFormat(std::span<const std::uint8_t> bytes);

// Decodes one icon image. Undecodable for unsupported or damaged data, TooLarge beyond the
// dimension limits. A DIB whose AND mask is cut short is taken as fully opaque; a DIB whose
// colour data is cut short fails.
Result<IconBitmap> decodeImage(std::span<const std::uint8_t> bytes);

// The picture at 32x32: pixel replication when growing by a whole factor, area averaging
// (in premultiplied alpha for alpha pictures) otherwise; the mask is scaled nearest.
IconBitmap scaleToIconSize(const IconBitmap& bitmap);

// A 32-bit drawing surface (0xAARRGGBB pixels) owned by someone else.
struct Surface {
    std::uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0; // in pixels
};

// Draws a 32x32 icon with its top-left corner at (x, y), clipped to the surface. Alpha icons
// blend, out = c*a/255 + dst*(255-a)/255; others apply dst = (dst AND mask) XOR colour.
void drawIconBitmap(Surface surface, int x, int y, const IconBitmap& icon);

} // namespace quorvane::icons
