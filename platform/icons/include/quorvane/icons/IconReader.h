// The icon-extraction service: how many icons a file holds, icon n at the size it is drawn at,
// and icon n as a thumbnail.
#pragma once

#include "quorvane/icons/IconBitmap.h"
#include "quorvane/icons/IconFile.h"

#include <string>

namespace quorvane::icons {

// Number of icon groups (PE, NE) or 1 for an .ico file; 0 for every other file, including
// missing, unreadable and malformed ones. By path, a module's icons are read from where
// openIcons finds them.
std::uint32_t countIcons(const Source& source);
std::uint32_t countIcons(const std::string& path);

// Icon n at size x size (32 unless given, at most 512), from the image of group n that best
// fits that size: the smallest |w - size| + |h - size|, then the larger image, then the bit
// count nearest 32, then the first; scaled to the size when it is not. OutOfRange past the
// count or for a group without images; the first failure otherwise (missing image,
// undecodable data, malformed file, a limit).
Result<IconBitmap> extractIcon(const IconFile& file, std::uint32_t index, int size = kIconSize);
Result<IconBitmap> extractIcon(const Source& source, std::uint32_t index, int size = kIconSize);
Result<IconBitmap> extractIcon(const std::string& path, std::uint32_t index, int size = kIconSize);

// Icon n as a thumbnail no larger than size x size, a PNG file with alpha. The image taken is
// the smallest whose larger side is at least size, otherwise the largest; among images of one
// size PNG and 32-bit ones come first, then more colours, then the first in the directory;
// images whose facts cannot be read are passed over. It is shrunk by area averaging in
// premultiplied alpha with its proportions kept, never enlarged, its transparency as alpha. A
// PNG image within the size that is proven sound is handed on as its picture's chunks, without
// being decoded and encoded again. OutOfRange past the count or for a group without usable
// images; the image's own error when it cannot be read or decoded.
Result<std::vector<std::uint8_t>> thumbnailPng(const IconFile& file, std::uint32_t index, int size);

} // namespace quorvane::icons
