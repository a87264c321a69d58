// Writing a group as an .ico file.
#include "quorvane/icons/IcoWriter.h"

#include "Records.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

namespace quorvane::icons {
namespace {

using records::IconDir;
using records::IconDirEntryRecord;

// The pieces in which extract copies an image.
constexpr std::size_t kCopyBytes = 64u << 10;

void putU16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void putU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    putU16(out, static_cast<std::uint16_t>(v));
    putU16(out, static_cast<std::uint16_t>(v >> 16));
}

} // namespace

std::vector<std::uint8_t> icoDirectory(const std::vector<IconDirEntry>& entries,
                                       const std::vector<std::uint64_t>& lengths,
                                       std::uint16_t type) {
    std::vector<std::uint8_t> head;
    putU16(head, 0);
    putU16(head, type);
    putU16(head, static_cast<std::uint16_t>(entries.size()));
    std::uint64_t offset = IconDir::kSize + IconDirEntryRecord::kSize * entries.size();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const IconDirEntry& e = entries[i];
        head.insert(head.end(), {e.bWidth, e.bHeight, e.bColorCount, e.bReserved});
        putU16(head, e.wPlanes);
        putU16(head, e.wBitCount);
        putU32(head, static_cast<std::uint32_t>(lengths[i]));
        putU32(head, static_cast<std::uint32_t>(offset));
        offset += lengths[i];
    }
    return head;
}

Result<IcoPlan> planIco(const IconFile& file, const IconGroup& group, std::size_t* failedImage) {
    IcoPlan plan;
    plan.images.reserve(group.entries.size());
    plan.size = IconDir::kSize + std::uint64_t(IconDirEntryRecord::kSize) * group.entries.size();
    std::uint64_t images = 0;
    for (std::size_t i = 0; i < group.entries.size(); ++i) {
        auto location = file.locateImage(group.entries[i]);
        if (!location) {
            if (failedImage)
                *failedImage = i;
            return fail(location.error());
        }
        images += location->length;
        if (images > kMaxGroupBytes)
            return fail(IconError::TooLarge);
        plan.images.push_back(*location);
    }
    plan.size += images;
    return plan;
}

Result<void> writeIco(const IconFile& file, const IconGroup& group, const ByteSink& write,
                      std::size_t* failedImage) {
    auto plan = planIco(file, group, failedImage);
    if (!plan)
        return fail(plan.error());
    std::vector<std::uint64_t> lengths;
    lengths.reserve(plan->images.size());
    std::uint64_t largest = 1;
    for (const ImageLocation& location : plan->images) {
        lengths.push_back(location.length);
        largest = std::max(largest, location.length);
    }
    const std::vector<std::uint8_t> head = icoDirectory(group.entries, lengths);
    if (!write(head))
        return fail(IconError::WriteFailed);
    std::vector<std::uint8_t> piece(std::min<std::uint64_t>(kCopyBytes, largest));
    for (const ImageLocation& location : plan->images) {
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
