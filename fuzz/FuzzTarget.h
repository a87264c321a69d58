// What the fuzzer does with one input, shared with the replay of the regression files.
#pragma once

#include <cstdint>
#include <span>

namespace quorvane::fuzz {

// Takes the bytes through every path of the icon reader that file bytes reach: the count,
// extracting and drawing each icon (the first 64 and the last), the first icon's thumbnails at
// two sizes, the walk of `list` over every group and image, the .ico writing of `extract` for
// each group (as many), and the bytes as a lone image.
void readIcons(std::span<const std::uint8_t> bytes);

} // namespace quorvane::fuzz
