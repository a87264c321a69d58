// PNG files of icon pictures.
#pragma once

#include "quorvane/icons/IconBitmap.h"

#include <cstdint>
#include <span>
#include <vector>

namespace quorvane::icons {

enum class PngKind {
    Rgb,  // the colour channels only
    Rgba, // with the alpha channel, not premultiplied
};
// The picture as a PNG file; WriteFailed when libpng cannot encode it.
Result<std::vector<std::uint8_t>> encodePng(const IconBitmap& picture, PngKind kind);

} // namespace quorvane::icons
