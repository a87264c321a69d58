// The facts of a file's groups and images, as quorvane-icons lists them (here so that the
// fuzzer reaches them too).
#pragma once

#include "quorvane/icons/IconBitmap.h"
#include "quorvane/icons/IconFile.h"

#include <functional>

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

} // namespace quorvane::icons
