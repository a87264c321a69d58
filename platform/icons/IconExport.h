// The walks that quorvane-icons makes over a file's groups, here so that the fuzzer reaches them
// too: the facts of every group and image, and one group written out as an .ico file.
#pragma once

#include "IconFile.h"
#include "IconImage.h"

#include <functional>
#include <span>
#include <string>

namespace quorvane::icons {

// What a directory entry and the first bytes of its image tell: the size from the entry, the
// bit count from the entry or else the DIB header (32 for a PNG without one), the format, and
// the length as located.
struct ImageFacts {
    int width = 0;
    int height = 0;
    unsigned bitCount = 0;
    ImageFormat format = ImageFormat::Dib;
    std::uint64_t length = 0;
};
Result<ImageFacts> imageFacts(const IconFile& file, const IconDirEntry& entry);

// One group as `list` walks it: its name and directory, or why they cannot be read, and the
// facts of each of its images in directory order.
struct GroupListing {
    std::uint32_t index = 0;
    ResourceName name;
    Result<IconGroup> group;
    std::vector<Result<ImageFacts>> images;
};

// Every group in order. The images described in one walk are bounded by the file's size, one
// 14-byte directory entry each, so that groups sharing their directories cannot multiply the
// work; a group past that bound comes as TooLarge. Each image id is read once.
void walkGroups(const IconFile& file, const std::function<void(const GroupListing&)>& visit);

// An .ico file's directory: ICONDIR (type 1, or 2 for a cursor) and one ICONDIRENTRY an image,
// for images that follow it in order with the given lengths (as many as entries).
std::vector<std::uint8_t> icoDirectory(const std::vector<IconDirEntry>& entries,
                                       const std::vector<std::uint64_t>& lengths,
                                       std::uint16_t type = 1);

// Receives output bytes; false when they cannot be written.
using ByteSink = std::function<bool(std::span<const std::uint8_t>)>;

// The .ico file that writeIco makes of a group: where each image lies, and the file's size.
// TooLarge when the images add up past kMaxGroupBytes; the image's own error (its position in
// *failedImage) when one is missing or too large.
struct IcoPlan {
    std::vector<ImageLocation> images;
    std::uint64_t size = 0;
};
Result<IcoPlan> planIco(const IconFile& file, const IconGroup& group,
                        std::size_t* failedImage = nullptr);

// Writes the group as an .ico file: ICONDIR, one ICONDIRENTRY an image, then the images byte
// for byte, read in small pieces. Every image is located before anything is written, with the
// errors of planIco; WriteFailed when the sink refuses.
Result<void> writeIco(const IconFile& file, const IconGroup& group, const ByteSink& write,
                      std::size_t* failedImage = nullptr);

} // namespace quorvane::icons
