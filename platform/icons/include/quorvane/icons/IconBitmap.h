// Icon pictures: the decoded picture, its budgets, and decoding one icon image (DIB or PNG).
#pragma once

#include "quorvane/icons/Result.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quorvane::icons {

inline constexpr int kIconSize = 32;
inline constexpr std::size_t kIconPixels = std::size_t{kIconSize} * kIconSize;
// Decoded pixels of one image: a 512x512 picture, four times the largest that an icon
// directory entry can describe (256x256). A PNG that claims more is refused from its header,
// before anything is inflated: no real icon is that large, and refusing costs nothing, where
// decoding row by row into a picture of the drawn size would still inflate every row.
inline constexpr std::size_t kMaxImagePixels = std::size_t{512} * 512;
// Either side of an image, so that a 1-pixel-high strip cannot be a megapixel wide.
inline constexpr int kMaxImageSide = 1024;
// The largest size at which icons are drawn or made into thumbnails: a square within the
// pixel budget.
inline constexpr int kMaxDrawSize = 512;

// A pixel from its channels, 0..255 each.
constexpr std::uint32_t argb(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

// A decoded picture. Pixels are 0xAARRGGBB, rows top-down. The mask has one byte a pixel:
// 1 where the screen shows through (AND mask bit set). The alpha bytes count only when
// hasAlpha is true; otherwise colour and mask describe the picture. Its size is always inside
// the budget, and pixels and mask always hold width x height values.
class IconBitmap {
  public:
    // A picture with every pixel and mask byte 0: TooLarge for a side outside
    // 1..kMaxImageSide or more than kMaxImagePixels pixels.
    static Result<IconBitmap> create(int width, int height);
    // A picture from its pixels and mask (an empty mask is all opaque): TooLarge as create,
    // Malformed when the lengths do not match the size.
    static Result<IconBitmap> fromPixels(int width, int height, std::vector<std::uint32_t> pixels,
                                         std::vector<std::uint8_t> mask, bool hasAlpha);

    int width() const { return m_width; }
    int height() const { return m_height; }
    bool hasAlpha() const { return m_hasAlpha; }
    void setHasAlpha(bool hasAlpha) { m_hasAlpha = hasAlpha; }
    const std::vector<std::uint32_t>& pixels() const { return m_pixels; }
    const std::vector<std::uint8_t>& mask() const { return m_mask; }
    // The same values for writing: their number is fixed.
    std::span<std::uint32_t> writablePixels() { return m_pixels; }
    std::span<std::uint8_t> writableMask() { return m_mask; }
    std::uint32_t* row(int y) { return m_pixels.data() + std::size_t(y) * std::size_t(m_width); }

  private:
    IconBitmap(int width, int height);
    int m_width;
    int m_height;
    std::vector<std::uint32_t> m_pixels;
    std::vector<std::uint8_t> m_mask;
    bool m_hasAlpha = false;
};

enum class ImageFormat { Dib, Png };

// PNG when the bytes start with the PNG signature, DIB otherwise.
ImageFormat imageFormat(std::span<const std::uint8_t> bytes);

// Decodes one icon image. Undecodable for unsupported or damaged data, TooLarge beyond the
// pixel budget. A DIB whose AND mask is cut short is taken as fully opaque; a DIB whose
// colour data is cut short fails.
Result<IconBitmap> decodeImage(std::span<const std::uint8_t> bytes);

// The picture with its transparency in the alpha channel: a picture without alpha becomes
// transparent where its mask shows the screen and opaque elsewhere. (Pixels that invert the
// screen, mask set over a non-black colour, have no alpha equivalent and become transparent.)
IconBitmap maskAsAlpha(const IconBitmap& bitmap);

} // namespace quorvane::icons
