// Decoding PNG icon images within the reader's budgets.
#pragma once

#include "quorvane/icons/IconBitmap.h"

#include <cstdint>
#include <optional>
#include <span>

namespace quorvane::icons {

// Decodes a PNG to 8-bit pixels with straight alpha. Only the chunks that make the picture
// (the critical ones, and tRNS) reach the decoder: text, colour profiles and the like are
// skipped unread, so their compressed contents cost nothing, and the pixels are taken as sRGB
// whatever gAMA, cHRM or iCCP claim. The compressed image data is inflated only until every row
// is there. TooLarge for a picture beyond the budget (told from IHDR, before anything is
// inflated), Undecodable for anything that is not a whole picture.
Result<IconBitmap> decodePng(std::span<const std::uint8_t> bytes);

} // namespace quorvane::icons
