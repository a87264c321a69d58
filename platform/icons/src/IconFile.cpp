// The layer over the format readers: it tells the formats apart, parses group directories,
// cuts what the tables claim at the end of the file, and holds the limits on groups and images.
#include "quorvane/icons/IconFile.h"

#include "ByteReader.h"
#include "FormatReader.h"
#include "Records.h"
#include "quorvane/icons/IconBitmap.h"

#include <algorithm>

namespace quorvane::icons {
namespace {

using records::IconDir;

// Images in one group directory: 25 times the most that a real group holds. Across the Windows
// files of Debian's wine, fonts-wine and nsis packages the largest group directory has 10
// images, the largest image is 71 kB, and a directory entry cannot describe more than 256x256.
constexpr std::uint64_t kMaxGroupEntries = 256;
// One image: a 512x512 32-bit DIB with its mask takes 1.06 MB.
constexpr std::uint64_t kMaxImageBytes = 2u << 20;

} // namespace

Result<ImageLocation> heldPart(const Source& source, const Extent& extent) {
    if (extent.offset > source.size())
        return fail(IconError::Malformed, "starts at offset " + std::to_string(extent.offset) +
                                              ", past the end of the file (size " +
                                              std::to_string(source.size()) + ")");
    return ImageLocation{extent.offset, std::min(extent.length, source.size() - extent.offset)};
}

namespace {

// A GRPICONDIRENTRY or ICONDIRENTRY, and its place.
template <typename Record>
IconDirEntry entryFrom(const Record& r, std::uint32_t group, std::uint32_t position) {
    IconDirEntry e{r.bWidth,  r.bHeight,   r.bColorCount,  r.bReserved,
                   r.wPlanes, r.wBitCount, r.dwBytesInRes, 0,
                   0,         group,       position};
    if constexpr (requires { r.nId; })
        e.nId = r.nId;
    else
        e.dwImageOffset = r.dwImageOffset;
    return e;
}

// The directory in `extent`, an IconDir and its entries of type Record: the entries of idCount
// that the data holds.
template <typename Record>
Result<IconGroup> readDirectory(const Source& source, const Extent& extent, std::uint32_t index) {
    const std::string place = "group " + std::to_string(index);
    auto held = heldPart(source, extent);
    if (!held)
        return failAt(place + ": directory", held.error());
    IconGroup group;
    if (held->length < sizeof(IconDir))
        return group;
    auto header = readRecord<IconDir>(source, held->offset);
    if (!header)
        return failAt(place + ": directory", header.error());
    const std::uint64_t count =
        std::min<std::uint64_t>(header->idCount, (held->length - sizeof(IconDir)) / sizeof(Record));
    if (count > kMaxGroupEntries)
        return fail(IconError::TooLarge,
                    place + ": " + std::to_string(count) + " images, more than the " +
                        std::to_string(kMaxGroupEntries) + " that a group may hold");
    std::vector<Record> records(count);
    auto read = source.readExactly(held->offset + sizeof(IconDir),
                                   std::as_writable_bytes(std::span(records)));
    if (!read)
        return failAt(place + ": directory", read.error());
    for (std::uint32_t i = 0; i < count; ++i)
        group.entries.push_back(entryFrom(records[i], index, i));
    return group;
}

FormatResult openFormat(const Source& source) {
    auto dos = readRecord<records::ImageDosHeader>(source, 0);
    if (dos && dos->e_magic == records::kDosMagic) {
        auto signature = readRecord<records::Le32>(source, dos->e_lfanew);
        if (signature && *signature == records::kPeSignature)
            return openPe(source, dos->e_lfanew);
        auto ne = readRecord<records::Le16>(source, dos->e_lfanew);
        if (ne && *ne == records::kNeSignature)
            return openNe(source, dos->e_lfanew);
        return fail(IconError::NotIconFile, "an MZ file without a PE or NE header");
    }
    auto ico = readRecord<IconDir>(source, 0);
    if (ico && ico->idReserved == 0 && ico->idType == IconDir::kIconType)
        return openIco(source);
    return fail(IconError::NotIconFile, "not a PE, NE or .ico file");
}

// "group INDEX", for the messages about it; OutOfRange past the file's groups.
Result<std::string> groupPlace(std::uint32_t index, std::uint32_t count) {
    std::string place = "group " + std::to_string(index);
    if (index >= count)
        return fail(IconError::OutOfRange,
                    place + ": the file has " + std::to_string(count) + " icon groups");
    return place;
}

} // namespace

IconFile::IconFile(const Source& source, std::shared_ptr<const FormatReader> reader)
    : m_source(&source), m_reader(std::move(reader)) {}

Result<IconFile> IconFile::open(const Source& source) {
    auto reader = openFormat(source);
    if (!reader)
        return tl::unexpected(reader.error());
    return IconFile(source, std::move(*reader));
}

FileKind IconFile::kind() const {
    return m_reader->kind();
}

std::uint32_t IconFile::groupCount() const {
    return m_reader->groupCount();
}

Result<IconGroup> IconFile::group(std::uint32_t index) const {
    auto place = groupPlace(index, groupCount());
    if (!place)
        return tl::unexpected(place.error());
    auto extent = m_reader->groupDirectory(index);
    if (!extent)
        return failAt(*place, extent.error());
    if (kind() == FileKind::Ico)
        return readDirectory<records::IcoDirEntry>(*m_source, *extent, index);
    return readDirectory<records::GrpIconDirEntry>(*m_source, *extent, index);
}

Result<ResourceName> IconFile::groupName(std::uint32_t index) const {
    auto place = groupPlace(index, groupCount());
    if (!place)
        return tl::unexpected(place.error());
    auto name = m_reader->groupName(index);
    if (!name)
        return failAt(*place, name.error());
    return name;
}

Result<ImageLocation> IconFile::locateImage(const IconDirEntry& entry) const {
    auto extent = m_reader->image(entry);
    if (!extent)
        return failAt(entry.place(), extent.error());
    auto held = heldPart(*m_source, *extent);
    if (!held)
        return failAt(entry.place() + ": image", held.error());
    if (held->length > kMaxImageBytes)
        return fail(IconError::TooLarge,
                    entry.place() + ": image of " + std::to_string(held->length) +
                        " bytes, more than the " + std::to_string(kMaxImageBytes >> 20) +
                        " MiB that one image may take");
    return held;
}

Result<std::vector<std::uint8_t>> IconFile::imageBytes(const IconDirEntry& entry) const {
    auto location = locateImage(entry);
    if (!location)
        return tl::unexpected(location.error());
    return m_source->read(location->offset, location->length);
}

Result<ImageFacts> IconFile::imageFacts(const IconDirEntry& entry) const {
    using records::BitmapCoreHeader;
    using records::BitmapInfoHeader;
    auto location = locateImage(entry);
    if (!location)
        return tl::unexpected(location.error());
    auto head = m_source->read(location->offset,
                               std::min<std::uint64_t>(location->length, sizeof(BitmapInfoHeader)));
    if (!head)
        return tl::unexpected(head.error());
    ImageFacts facts{entry.width(), entry.height(), entry.wBitCount, imageFormat(*head),
                     location->length};
    const ByteReader dib(*head);
    auto core = dib.record<BitmapCoreHeader>();
    auto info = dib.record<BitmapInfoHeader>();
    if (facts.bitCount == 0 && facts.format == ImageFormat::Dib) {
        if (core && core->bcSize == sizeof(BitmapCoreHeader))
            facts.bitCount = core->bcBitCount;
        else if (info)
            facts.bitCount = info->biBitCount;
    }
    if (facts.bitCount == 0 && facts.format == ImageFormat::Png)
        facts.bitCount = 32;
    return facts;
}

std::optional<std::array<std::uint8_t, 16>> IconFile::muiChecksum() const {
    auto extent = m_reader->muiConfiguration();
    auto held = extent ? heldPart(*m_source, *extent) : tl::unexpected(Error{});
    if (!held || held->length < sizeof(records::MuiConfiguration))
        return std::nullopt;
    auto configuration = readRecord<records::MuiConfiguration>(*m_source, held->offset);
    if (!configuration || configuration->dwSignature != records::kMuiSignature)
        return std::nullopt;
    return configuration->checksum;
}

} // namespace quorvane::icons
