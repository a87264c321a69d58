// Listing a file's groups and writing a group as an .ico file, within the reader's budgets.
#include "IconExport.h"

#include "ByteReader.h"
#include "IconImage.h"
#include "Records.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

namespace quorvane::icons {
namespace {

using records::BitmapCoreHeader;
using records::BitmapInfoHeader;
using records::GrpIconDirEntry;
using records::IconDir;
using records::IconDirEntryRecord;

// Enough of an image to tell PNG from DIB and read a DIB's bit count.
constexpr std::uint64_t kImageHeadBytes = 16;
// The pieces in which extract copies an image.
constexpr std::size_t kCopyBytes = 64u << 10;

std::string describeImage(const IconFile& file, const IconDirEntry& entry) {
    std::string line = std::to_string(entry.width()) + "x" + std::to_string(entry.height());
    auto location = file.locateImage(entry);
    auto head =
        location ? file.source().read(location->offset, std::min(location->length, kImageHeadBytes))
                 : Result<std::vector<std::uint8_t>>(fail(location.error()));
    if (!head)
        return line + " " + std::to_string(entry.wBitCount) + "bpp missing (" +
               describe(head.error()) + ")";
    unsigned bits = entry.wBitCount;
    const ImageFormat format = imageFormat(*head);
    if (bits == 0 && format == ImageFormat::Dib) {
        ByteReader dib(*head);
        auto biSize = dib.u32(BitmapInfoHeader::biSize);
        bits = dib.u16(biSize == BitmapCoreHeader::kSize ? BitmapCoreHeader::bcBitCount
                                                         : BitmapInfoHeader::biBitCount)
                   .value_or(0);
    }
    if (bits == 0 && format == ImageFormat::Png)
        bits = 32;
    return line + " " + std::to_string(bits) + "bpp " +
           (format == ImageFormat::Png ? "PNG" : "DIB") + " " + std::to_string(location->length) +
           " bytes";
}

void putU16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void putU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    putU16(out, static_cast<std::uint16_t>(v));
    putU16(out, static_cast<std::uint16_t>(v >> 16));
}

} // namespace

void listGroups(const IconFile& file, const std::function<void(const std::string&)>& line) {
    // Within one file an image id names one image, so each is described once.
    std::unordered_map<std::uint16_t, std::string> described;
    std::uint64_t images = 0;
    const std::uint64_t maxImages = file.source().size() / GrpIconDirEntry::kSize;
    for (std::uint32_t i = 0; i < file.groupCount(); ++i) {
        auto group = images <= maxImages ? file.group(i) : fail(IconError::TooLarge);
        if (group)
            images += group->entries.size();
        if (group && images > maxImages)
            group = fail(IconError::TooLarge);
        if (!group) {
            line(std::to_string(i) + " ? (" + describe(group.error()) + ")");
            continue;
        }
        std::string text = std::to_string(i) + ' ' +
                           (group->name.isId ? group->name.text() : '"' + group->name.name + '"');
        const char* separator = " ";
        for (const IconDirEntry& entry : group->entries) {
            text += separator;
            separator = ", ";
            if (file.kind() == FileKind::Ico) {
                text += describeImage(file, entry);
                continue;
            }
            auto [it, added] = described.try_emplace(entry.nId);
            if (added)
                it->second = describeImage(file, entry);
            text += it->second;
        }
        line(text);
    }
}

Result<void> writeIco(const IconFile& file, const IconGroup& group, const ByteSink& write,
                      std::size_t* failedImage) {
    std::vector<ImageLocation> locations;
    locations.reserve(group.entries.size());
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < group.entries.size(); ++i) {
        auto location = file.locateImage(group.entries[i]);
        if (!location) {
            if (failedImage)
                *failedImage = i;
            return fail(location.error());
        }
        total += location->length;
        if (total > kMaxGroupBytes)
            return fail(IconError::TooLarge);
        locations.push_back(*location);
    }
    std::vector<std::uint8_t> head;
    putU16(head, 0);
    putU16(head, IconDir::kIconType);
    putU16(head, static_cast<std::uint16_t>(group.entries.size()));
    std::uint64_t offset = IconDir::kSize + IconDirEntryRecord::kSize * group.entries.size();
    for (std::size_t i = 0; i < group.entries.size(); ++i) {
        const IconDirEntry& e = group.entries[i];
        head.insert(head.end(), {e.bWidth, e.bHeight, e.bColorCount, e.bReserved});
        putU16(head, e.wPlanes);
        putU16(head, e.wBitCount);
        putU32(head, static_cast<std::uint32_t>(locations[i].length));
        putU32(head, static_cast<std::uint32_t>(offset));
        offset += locations[i].length;
    }
    if (!write(head))
        return fail(IconError::WriteFailed);
    std::vector<std::uint8_t> piece(
        std::min<std::uint64_t>(kCopyBytes, std::max<std::uint64_t>(total, 1)));
    for (const ImageLocation& location : locations) {
        for (std::uint64_t done = 0; done < location.length;) {
            const std::size_t n = std::min<std::size_t>(piece.size(), location.length - done);
            std::span<std::uint8_t> part(piece.data(), n);
            if (!file.source().readInto(location.offset + done, part))
                return fail(IconError::Unreadable);
            if (!write(part))
                return fail(IconError::WriteFailed);
            done += n;
        }
    }
    return {};
}

} // namespace quorvane::icons
