// The walks that quorvane-icons makes over a file's groups, here so that the fuzzer reaches them
// too: a line for every group and image, and one group written out as an .ico file.
#pragma once

#include "IconFile.h"

#include <functional>
#include <span>
#include <string>

namespace quorvane::icons {

// One line a group, as `list` prints it: the index, the id or the quoted name, then each image
// as width x height, bits per pixel, DIB or PNG and its length. Only the first bytes of an
// image are read. The images described in one walk are bounded by the file's size, one
// 14-byte directory entry each, so that groups sharing their directories cannot multiply the
// work; a group past that bound is listed as beyond the reader's limits.
void listGroups(const IconFile& file, const std::function<void(const std::string&)>& line);

// Receives output bytes; false when they cannot be written.
using ByteSink = std::function<bool(std::span<const std::uint8_t>)>;

// Writes the group as an .ico file: ICONDIR, one ICONDIRENTRY an image, then the images byte
// for byte, read in small pieces. Every image is located before anything is written: TooLarge
// when they add up past kMaxGroupBytes, the image's own error (its position in *failedImage)
// when one is missing or too large, WriteFailed when the sink refuses.
Result<void> writeIco(const IconFile& file, const IconGroup& group, const ByteSink& write,
                      std::size_t* failedImage = nullptr);

} // namespace quorvane::icons
