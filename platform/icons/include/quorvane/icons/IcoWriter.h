// One group written out as an .ico file, within the reader's budgets.
#pragma once

#include "quorvane/icons/IconFile.h"

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace quorvane::icons {

// Receives output bytes; false when they cannot be written.
using ByteSink = std::function<bool(std::span<const std::uint8_t>)>;

// The .ico file that writeIco makes of a group: where each image lies, and the file's size.
// OutOfRange for a group without images; TooLarge when the images add up past 8 MiB; the
// image's own error when one is missing or too large.
struct IcoPlan {
    std::vector<ImageLocation> images;
    std::uint64_t size = 0;
};
Result<IcoPlan> planIco(const IconFile& file, const IconGroup& group);

// Writes the group as an .ico file, as planIco planned it: ICONDIR, one ICONDIRENTRY an image,
// then the images byte for byte, read in small pieces. The source's errors when a read fails;
// WriteFailed when the sink refuses.
Result<void> writeIco(const IconFile& file, const IconGroup& group, const IcoPlan& plan,
                      const ByteSink& write);

} // namespace quorvane::icons
