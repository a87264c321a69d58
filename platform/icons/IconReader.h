// The icon-extraction service: how many icons a file holds, and icon n at 32x32.
#pragma once

#include "IconFile.h"
#include "IconImage.h"

#include <string>

namespace quorvane::icons {

// Number of icon groups (PE, NE) or 1 for an .ico file; 0 for every other file, including
// missing, unreadable and malformed ones.
std::uint32_t countIcons(const Source& source);
std::uint32_t countIcons(const std::string& path);

// Icon n at 32x32, from the image of group n that best fits 32x32. OutOfRange past the
// count; the first failure otherwise (missing image, undecodable data, malformed file).
Result<IconBitmap> extractIcon(const Source& source, std::uint32_t index);
Result<IconBitmap> extractIcon(const std::string& path, std::uint32_t index);

} // namespace quorvane::icons
