// The facts of a file's groups and images.
#include "quorvane/icons/GroupFacts.h"

#include "ByteReader.h"
#include "Records.h"
#include "quorvane/icons/IconBitmap.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

namespace quorvane::icons {
namespace {

using records::BitmapCoreHeader;
using records::BitmapInfoHeader;
using records::GrpIconDirEntry;

// Enough of an image to tell PNG from DIB and read a DIB's bit count.
constexpr std::uint64_t kImageHeadBytes = 16;
} // namespace

Result<ImageFacts> imageFacts(const IconFile& file, const IconDirEntry& entry) {
    auto location = file.locateImage(entry);
    if (!location)
        return fail(location.error());
    auto head = file.source().read(location->offset, std::min(location->length, kImageHeadBytes));
    if (!head)
        return fail(head.error());
    ImageFacts facts{entry.width(), entry.height(), entry.wBitCount, imageFormat(*head),
                     location->length};
    if (facts.bitCount == 0 && facts.format == ImageFormat::Dib) {
        ByteReader dib(*head);
        auto biSize = dib.u32(BitmapInfoHeader::biSize);
        facts.bitCount = dib.u16(biSize == BitmapCoreHeader::kSize ? BitmapCoreHeader::bcBitCount
                                                                   : BitmapInfoHeader::biBitCount)
                             .value_or(0);
    }
    if (facts.bitCount == 0 && facts.format == ImageFormat::Png)
        facts.bitCount = 32;
    return facts;
}

namespace {

// The facts of the entry's image, read once an image id: within one file an id names one image.
// (An .ico file's entries have no ids: each is read.)
Result<ImageFacts> factsOnce(const IconFile& file, const IconDirEntry& entry,
                             std::unordered_map<std::uint16_t, Result<ImageFacts>>& known) {
    if (file.kind() == FileKind::Ico)
        return imageFacts(file, entry);
    auto found = known.find(entry.nId);
    if (found == known.end())
        found = known.emplace(entry.nId, imageFacts(file, entry)).first;
    return found->second;
}

} // namespace

void walkGroups(const IconFile& file, const std::function<void(const GroupListing&)>& visit) {
    std::unordered_map<std::uint16_t, Result<ImageFacts>> known;
    std::uint64_t images = 0;
    const std::uint64_t maxImages = file.source().size() / GrpIconDirEntry::kSize;
    for (std::uint32_t i = 0; i < file.groupCount(); ++i) {
        GroupListing listing{i, {}, fail(IconError::TooLarge), {}};
        if (images <= maxImages) {
            auto name = file.groupName(i);
            listing.group = name ? file.group(i) : fail(name.error());
            if (name)
                listing.name = std::move(*name);
        }
        if (listing.group)
            images += listing.group->entries.size();
        if (listing.group && images > maxImages)
            listing.group = fail(IconError::TooLarge);
        if (listing.group)
            for (const IconDirEntry& entry : listing.group->entries)
                listing.images.push_back(factsOnce(file, entry, known));
        visit(listing);
    }
}

} // namespace quorvane::icons
