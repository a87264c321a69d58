// Writing a group as an .ico file.
#include "quorvane/icons/IcoWriter.h"

#include "Records.h"

#include <algorithm>
#include <vector>

namespace quorvane::icons {
namespace {

// All the images of one group together, as extract writes them: 60 times the largest group of
// the Windows files in Debian's wine, fonts-wine and nsis packages (135 kB).
constexpr std::uint64_t kMaxGroupBytes = 8u << 20;
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

// ICONDIR and one ICONDIRENTRY an image, for images that follow it in order with the lengths
// that the plan gives.
std::vector<std::uint8_t> icoDirectory(const std::vector<IconDirEntry>& entries,
                                       const IcoPlan& plan) {
    std::vector<std::uint8_t> head;
    putU16(head, 0);
    putU16(head, records::IconDir::kIconType);
    putU16(head, static_cast<std::uint16_t>(entries.size()));
    std::uint64_t offset = sizeof(records::IconDir) + sizeof(records::IcoDirEntry) * entries.size();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const IconDirEntry& e = entries[i];
        const std::uint64_t length = plan.images[i].length;
        head.insert(head.end(), {e.bWidth, e.bHeight, e.bColorCount, e.bReserved});
        putU16(head, e.wPlanes);
        putU16(head, e.wBitCount);
        putU32(head, static_cast<std::uint32_t>(length));
        putU32(head, static_cast<std::uint32_t>(offset));
        offset += length;
    }
    return head;
}

} // namespace

Result<IcoPlan> planIco(const IconFile& file, const IconGroup& group) {
    if (group.entries.empty())
        return fail(IconError::OutOfRange, "the group has no images");
    IcoPlan plan;
    plan.images.reserve(group.entries.size());
    plan.size = sizeof(records::IconDir) + sizeof(records::IcoDirEntry) * group.entries.size();
    for (const IconDirEntry& entry : group.entries) {
        auto location = file.locateImage(entry);
        if (!location)
            return tl::unexpected(location.error());
        plan.size += location->length;
        if (plan.size > kMaxGroupBytes)
            return fail(IconError::TooLarge, "group " + std::to_string(entry.group) +
                                                 ": its images add up past the " +
                                                 std::to_string(kMaxGroupBytes >> 20) +
                                                 " MiB that an .ico file may take");
        plan.images.push_back(*location);
    }
    return plan;
}

Result<void> writeIco(const IconFile& file, const IconGroup& group, const IcoPlan& plan,
                      const ByteSink& write) {
    const std::vector<std::uint8_t> head = icoDirectory(group.entries, plan);
    const std::string output = "the output refuses the bytes";
    if (!write(head))
        return fail(IconError::WriteFailed, output);
    std::uint64_t largest = 1;
    for (const ImageLocation& location : plan.images)
        largest = std::max(largest, location.length);
    std::vector<std::uint8_t> piece(std::min<std::uint64_t>(kCopyBytes, largest));
    for (const ImageLocation& location : plan.images) {
        for (std::uint64_t done = 0; done < location.length;) {
            const std::size_t n = std::min<std::size_t>(piece.size(), location.length - done);
            std::span<std::uint8_t> part(piece.data(), n);
            auto read =
                file.source().readExactly(location.offset + done, std::as_writable_bytes(part));
            if (!read)
                return tl::unexpected(read.error());
            if (!write(part))
                return fail(IconError::WriteFailed, output);
            done += n;
        }
    }
    return {};
}

} // namespace quorvane::icons
