// The icon-extraction service: how many icons a file holds, icon n at the size it is drawn at,
// and icon n as a thumbnail.
#pragma once

#include "quorvane/icons/GroupFacts.h"
#include "quorvane/icons/IconBitmap.h"
#include "quorvane/icons/IconFile.h"

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
// Icon n at size x size, from the image that best fits that size, scaled as at 32x32.
Result<IconBitmap> extractIcon(const Source& source, std::uint32_t index, int size);

// The image that suits a thumbnail of size x size: the smallest whose larger side is at least
// size, otherwise the largest. Among images of one size PNG and 32-bit ones come first, then
// more colours, then the first in the directory. Images whose facts cannot be read are passed
// over; empty when none is left.
std::optional<std::size_t> chooseThumbnailImage(const std::vector<Result<ImageFacts>>& images,
                                                int size);

// Icon n as a thumbnail no larger than size x size, a PNG file with alpha: the image
// chooseThumbnailImage picks, its transparency as alpha, shrunk by area averaging in
// premultiplied alpha with its proportions kept, never enlarged. A chosen image that is already
// an 8-bit RGBA PNG within the size is given as it is, once it has decoded. OutOfRange past the
// count or for a group without usable images; the image's own error when it cannot be read or
// decoded.
Result<std::vector<std::uint8_t>> thumbnailPng(const IconFile& file, std::uint32_t index, int size);

} // namespace quorvane::icons
