// Decoding DIB icon images (a BITMAPINFOHEADER or BITMAPCOREHEADER, the colour rows, then the
// AND mask) within the reader's budgets.
#pragma once

#include "quorvane/icons/IconBitmap.h"

#include <cstdint>
#include <span>

namespace quorvane::icons {

// Undecodable for unsupported or damaged data, TooLarge beyond the pixel budget. An AND mask
// cut short is taken as fully opaque; colour data cut short fails.
Result<IconBitmap> decodeDib(std::span<const std::uint8_t> bytes);

} // namespace quorvane::icons
