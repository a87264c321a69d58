// PNG icon images: decoding them within the reader's budgets, and telling which can be handed
// on as a thumbnail without being decoded and encoded again.
#pragma once

#include "quorvane/icons/IconBitmap.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace quorvane::icons {

inline constexpr std::array<std::uint8_t, 8> kPngSignature = {0x89, 'P',  'N',  'G',
                                                              '\r', '\n', 0x1A, '\n'};

// Decodes a PNG to 8-bit pixels with straight alpha. Only the chunks that make the picture
// (the critical ones, and tRNS) reach the decoder: text, colour profiles and the like are
// skipped unread, so their compressed contents cost nothing, and the pixels are taken as sRGB
// whatever gAMA, cHRM or iCCP claim. The compressed image data is inflated only until every row
// is there. TooLarge for a picture beyond the budget (told from IHDR, before anything is
// inflated), Undecodable for anything that is not a whole picture.
Result<IconBitmap> decodePng(std::span<const std::uint8_t> bytes);

// The PNG with its picture's chunks alone (IHDR, tRNS, IDAT, IEND), when it is proven sound
// and no larger than largestSide a side: an 8-bit RGB or RGBA picture, not interlaced, every
// kept chunk whole with its CRC right, no critical chunk but those, and its rows inflating to
// exactly the picture, each with a known filter type. Empty otherwise.
std::optional<std::vector<std::uint8_t>> picturePng(std::span<const std::uint8_t> bytes,
                                                    int largestSide);

} // namespace quorvane::icons
