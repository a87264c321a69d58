// PNG files of icon pictures: writing them, and telling which PNGs can be handed on as they are.
#pragma once

#include "quorvane/icons/IconBitmap.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace quorvane::icons {

enum class PngKind {
    Rgb,  // the colour channels only
    Rgba, // with the alpha channel, not premultiplied
};
// The picture as a PNG file; WriteFailed when libpng cannot encode it.
Result<std::vector<std::uint8_t>> encodePng(const IconBitmap& picture, PngKind kind);

// The PNG up to the end of its IEND chunk, when it is an 8-bit RGBA picture, not interlaced,
// that holds no chunk but IHDR, PLTE, tRNS, IDAT and IEND: such a PNG can be handed on as it
// is. Empty otherwise.
std::optional<std::span<const std::uint8_t>> plainRgbaPng(std::span<const std::uint8_t> bytes);

} // namespace quorvane::icons
