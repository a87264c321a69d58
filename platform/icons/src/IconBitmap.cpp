// The decoded picture, and decoding one icon image by its format.
#include "quorvane/icons/IconBitmap.h"

#include "Dib.h"
#include "Png.h"

#include <algorithm>
#include <string>

namespace quorvane::icons {

IconBitmap::IconBitmap(int width, int height)
    : m_width(width), m_height(height), m_pixels(std::size_t(width) * std::size_t(height), 0),
      m_mask(m_pixels.size(), 0) {}

Result<IconBitmap> IconBitmap::create(int width, int height) {
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    if (width < 1 || height < 1)
        return fail(IconError::Undecodable, "a picture of " + size + " pixels");
    if (width > kMaxImageSide || height > kMaxImageSide ||
        std::size_t(width) * std::size_t(height) > kMaxImagePixels)
        return fail(IconError::TooLarge, "a picture of " + size +
                                             " pixels, more than the 512x512 (and 1024 a "
                                             "side) that the reader decodes");
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
        return fail(IconError::Malformed, "pixels and mask do not match the picture's size");
    bitmap->m_pixels = std::move(pixels);
    bitmap->m_mask = std::move(mask);
    bitmap->m_hasAlpha = hasAlpha;
    return bitmap;
}

ImageFormat imageFormat(std::span<const std::uint8_t> bytes) {
    if (bytes.size() >= kPngSignature.size() &&
        std::equal(kPngSignature.begin(), kPngSignature.end(), bytes.begin()))
        return ImageFormat::Png;
    return ImageFormat::Dib;
}

Result<IconBitmap> decodeImage(std::span<const std::uint8_t> bytes) {
    return imageFormat(bytes) == ImageFormat::Png ? decodePng(bytes) : decodeDib(bytes);
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

} // namespace quorvane::icons
