// Finding icon groups and images in PE, NE and ICO files; every field is checked before use.
#include "ResourceTables.h"

#include "ByteReader.h"
#include "Records.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <queue>

namespace quorvane::icons {
namespace {

using namespace records;
constexpr std::uint32_t kHighBit = ImageResourceDirectoryEntry::kHighBit;

std::string utf16ToUtf8(const ByteReader& chars, std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t c = *chars.u16(2 * i);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < count) {
            std::uint32_t low = *chars.u16(2 * (i + 1));
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (c >= 0xD800 && c <= 0xDFFF)
            c = 0xFFFD; // a lone surrogate
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// An NE resource name: one byte a character, the byte the character's code.
std::string latin1ToUtf8(std::span<const std::uint8_t> chars) {
    std::string out;
    for (std::uint8_t c : chars) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// The fields that GRPICONDIRENTRY and ICONDIRENTRY share; `entry` holds the whole record.
IconDirEntry readEntryFields(const ByteReader& entry) {
    using F = IconDirEntryFields;
    IconDirEntry e;
    e.bWidth = *entry.u8(F::bWidth);
    e.bHeight = *entry.u8(F::bHeight);
    e.bColorCount = *entry.u8(F::bColorCount);
    e.bReserved = *entry.u8(F::bReserved);
    e.wPlanes = *entry.u16(F::wPlanes);
    e.wBitCount = *entry.u16(F::wBitCount);
    e.dwBytesInRes = *entry.u32(F::dwBytesInRes);
    return e;
}

// The entries of an ICONDIR or GRPICONDIR (`Entry` the record of one entry) that `data`
// holds, of the idCount it claims; TooLarge when it holds more than kMaxGroupEntries.
template <typename Entry>
Result<std::vector<IconDirEntry>> parseDirectory(const ByteReader& data, std::uint16_t idCount) {
    const std::size_t held =
        data.size() < IconDir::kSize ? 0 : (data.size() - IconDir::kSize) / Entry::kSize;
    if (std::min<std::size_t>(idCount, held) > kMaxGroupEntries)
        return fail(IconError::TooLarge);
    std::vector<IconDirEntry> entries;
    for (std::size_t i = 0; i < idCount; ++i) {
        auto record = data.sub(IconDir::kSize + i * Entry::kSize, Entry::kSize);
        if (!record)
            break; // entries that the data does not hold are dropped
        IconDirEntry e = readEntryFields(*record);
        if constexpr (Entry::kSize == GrpIconDirEntry::kSize)
            e.nId = *record->u16(GrpIconDirEntry::nId);
        else
            e.dwImageOffset = *record->u32(IconDirEntryRecord::dwImageOffset);
        entries.push_back(e);
    }
    return entries;
}

Result<std::vector<IconDirEntry>> parseGroupDirectory(const ByteReader& data) {
    auto idCount = data.u16(IconDir::idCount);
    if (!idCount)
        return std::vector<IconDirEntry>{};
    return parseDirectory<GrpIconDirEntry>(data, *idCount);
}

// The group directory resource of at most `length` bytes at `offset`, as PE and NE files hold it.
Result<IconGroup> readGroupDirectory(const Source& source, std::uint64_t offset,
                                     std::uint64_t length) {
    auto bytes = source.readUpTo(offset, length);
    if (!bytes)
        return fail(bytes.error());
    auto entries = parseGroupDirectory(ByteReader(*bytes));
    if (!entries)
        return fail(entries.error());
    return IconGroup{std::move(*entries)};
}

// The place of `length` bytes at `offset`, cut at the end of the source: what an entry claims
// beyond the file costs nothing, and only what is there counts against kMaxImageBytes.
Result<ImageLocation> cutAtEnd(const Source& source, std::uint64_t offset, std::uint64_t length) {
    if (offset > source.size())
        return fail(IconError::Malformed);
    const ImageLocation location{offset, std::min(length, source.size() - offset)};
    if (location.length > kMaxImageBytes)
        return fail(IconError::TooLarge);
    return location;
}

} // namespace

std::optional<std::size_t> chooseImage(const std::vector<IconDirEntry>& entries, int size) {
    std::optional<std::size_t> best;
    auto key = [size](const IconDirEntry& e) {
        int distance = std::abs(e.width() - size) + std::abs(e.height() - size);
        int area = e.width() * e.height();
        int depthDistance = std::abs(static_cast<int>(e.wBitCount) - 32);
        return std::tuple(distance, -area, depthDistance);
    };
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (!best || key(entries[i]) < key(entries[*best]))
            best = i;
    }
    return best;
}

Result<ResourceTables> ResourceTables::open(const Source& source) {
    auto head = source.readUpTo(0, ImageDosHeader::kSize);
    if (!head)
        return fail(head.error());
    ByteReader dos(*head);
    auto magic = dos.u16(ImageDosHeader::e_magic);
    if (magic == ImageDosHeader::kMagic) {
        auto e_lfanew = dos.u32(ImageDosHeader::e_lfanew);
        if (!e_lfanew)
            return fail(IconError::NotIconFile);
        auto signature = source.readUpTo(*e_lfanew, kPeSignatureSize);
        if (!signature)
            return fail(IconError::NotIconFile);
        ByteReader sig(*signature);
        if (sig.u32(0) == kPeSignature)
            return openPe(source, *e_lfanew);
        if (sig.u16(0) == kNeSignature)
            return openNe(source, *e_lfanew);
        return fail(IconError::NotIconFile); // DOS-only, LE, LX and the like
    }
    if (magic == 0 && dos.u16(IconDir::idType) == IconDir::kIconType)
        return openIco(source);
    return fail(IconError::NotIconFile);
}

// PE: the file header and optional header lead to the resource directory's RVA; the section
// table maps RVAs to the file; the root of the resource tree names the RT_GROUP_ICON and
// RT_ICON directories.
Result<ResourceTables> ResourceTables::openPe(const Source& source, std::uint32_t peOffset) {
    ResourceTables file(source);
    file.m_kind = FileKind::Pe;
    const std::uint64_t fileHeaderAt = std::uint64_t(peOffset) + kPeSignatureSize;
    auto fileHeaderBytes = source.read(fileHeaderAt, ImageFileHeader::kSize);
    if (!fileHeaderBytes)
        return fail(IconError::Malformed);
    ByteReader fileHeader(*fileHeaderBytes);
    const std::uint16_t NumberOfSections = *fileHeader.u16(ImageFileHeader::NumberOfSections);
    const std::uint16_t SizeOfOptionalHeader =
        *fileHeader.u16(ImageFileHeader::SizeOfOptionalHeader);
    const std::uint64_t optionalAt = fileHeaderAt + ImageFileHeader::kSize;
    auto optionalBytes = source.read(optionalAt, SizeOfOptionalHeader);
    if (!optionalBytes)
        return fail(IconError::Malformed);
    ByteReader optional(*optionalBytes);
    auto Magic = optional.u16(ImageOptionalHeader::Magic);
    std::uint64_t countAt = 0;
    std::uint64_t directoriesAt = 0;
    if (Magic == ImageOptionalHeader::kPe32Magic) {
        countAt = ImageOptionalHeader::NumberOfRvaAndSizes32;
        directoriesAt = ImageOptionalHeader::DataDirectory32;
    } else if (Magic == ImageOptionalHeader::kPe32PlusMagic) {
        countAt = ImageOptionalHeader::NumberOfRvaAndSizes64;
        directoriesAt = ImageOptionalHeader::DataDirectory64;
    } else {
        return fail(IconError::Malformed);
    }
    auto NumberOfRvaAndSizes = optional.u32(countAt);
    if (!NumberOfRvaAndSizes || *NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_RESOURCE)
        return file; // no resource directory: no icons
    auto resourceRva = optional.u32(
        directoriesAt + std::size_t{ImageDataDirectory::kSize} * IMAGE_DIRECTORY_ENTRY_RESOURCE +
        ImageDataDirectory::VirtualAddress);
    if (!resourceRva || *resourceRva == 0)
        return file;
    file.m_resourceRva = *resourceRva;
    if (auto sections = file.readSections(optionalAt + SizeOfOptionalHeader, NumberOfSections);
        !sections)
        return fail(sections.error());
    if (auto found = file.findIconDirectories(); !found)
        return fail(found.error());
    file.m_groupCount = file.m_groupDir ? file.m_groupDir->entries : 0;
    return file;
}

Result<void> ResourceTables::readSections(std::uint64_t at, std::uint16_t count) {
    auto tableBytes = m_source->read(at, std::uint64_t(count) * ImageSectionHeader::kSize);
    if (!tableBytes)
        return fail(IconError::Malformed);
    ByteReader table(*tableBytes);
    m_sections.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        ByteReader header = *table.sub(i * ImageSectionHeader::kSize, ImageSectionHeader::kSize);
        m_sections.push_back({*header.u32(ImageSectionHeader::VirtualAddress),
                              *header.u32(ImageSectionHeader::SizeOfRawData),
                              *header.u32(ImageSectionHeader::PointerToRawData)});
    }
    mapSections();
    return {};
}

// A sweep over the sections' start and end addresses: between two of them, of the sections
// that are open the first in the table holds the addresses. Once done, finding an RVA takes a
// binary search, however many sections a file claims.
void ResourceTables::mapSections() {
    struct Edge {
        std::uint64_t at = 0;
        bool opens = false;
        std::uint32_t section = 0;
    };
    std::vector<Edge> edges;
    edges.reserve(2 * m_sections.size());
    for (std::uint32_t i = 0; i < m_sections.size(); ++i) {
        const SectionRange& s = m_sections[i];
        if (s.rawSize == 0)
            continue;
        edges.push_back({s.virtualAddress, true, i});
        edges.push_back({std::uint64_t(s.virtualAddress) + s.rawSize, false, i});
    }
    std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.at < b.at; });
    std::priority_queue<std::uint32_t, std::vector<std::uint32_t>, std::greater<>> open;
    std::vector<bool> closed(m_sections.size(), false);
    for (std::size_t e = 0; e < edges.size();) {
        const std::uint64_t at = edges[e].at;
        for (; e < edges.size() && edges[e].at == at; ++e) {
            if (edges[e].opens)
                open.push(edges[e].section);
            else
                closed[edges[e].section] = true;
        }
        while (!open.empty() && closed[open.top()])
            open.pop();
        if (open.empty() || e == edges.size())
            continue;
        if (!m_spans.empty() && m_spans.back().end == at && m_spans.back().section == open.top())
            m_spans.back().end = edges[e].at;
        else
            m_spans.push_back({at, edges[e].at, open.top()});
    }
}

Result<void> ResourceTables::findIconDirectories() {
    auto root = readDirectoryHeader(0);
    if (!root)
        return fail(root.error());
    auto rootEntries = readDirectoryEntries(*root);
    if (!rootEntries)
        return fail(rootEntries.error());
    ByteReader types(*rootEntries);
    using Entry = ImageResourceDirectoryEntry;
    for (std::uint32_t i = 0; i < root->entries; ++i) {
        ByteReader entry = *types.sub(std::uint64_t(i) * Entry::kSize, Entry::kSize);
        const std::uint32_t Name = *entry.u32(Entry::Name);
        const std::uint32_t OffsetToData = *entry.u32(Entry::OffsetToData);
        if ((Name & kHighBit) || !(OffsetToData & kHighBit))
            continue; // named types are never icons; a type must lead to a directory
        std::optional<DirectoryLevel>* slot = nullptr;
        if (Name == RT_GROUP_ICON)
            slot = &m_groupDir;
        else if (Name == RT_ICON)
            slot = &m_iconDir;
        if (!slot || *slot)
            continue;
        auto level = readDirectoryHeader(OffsetToData & ~kHighBit);
        if (!level)
            return fail(level.error());
        // The whole entry array must be there for the count to be believed.
        if (level->entries > 0 &&
            !rvaToOffset(std::uint64_t(m_resourceRva) + level->rel + ImageResourceDirectory::kSize,
                         std::uint64_t(level->entries) * Entry::kSize))
            return fail(IconError::Malformed);
        *slot = *level;
    }
    return {};
}

// The file offset of `length` bytes at `rva`: they must lie inside one section's raw data and,
// when withinFile, inside the file.
Result<std::uint64_t> ResourceTables::rvaToOffset(std::uint64_t rva, std::uint64_t length,
                                                  bool withinFile) const {
    auto span = std::upper_bound(m_spans.begin(), m_spans.end(), rva,
                                 [](std::uint64_t a, const SectionSpan& s) { return a < s.begin; });
    if (span == m_spans.begin())
        return fail(IconError::Malformed);
    --span;
    if (rva >= span->end)
        return fail(IconError::Malformed);
    const SectionRange& s = m_sections[span->section];
    const std::uint64_t into = rva - s.virtualAddress;
    if (length > s.rawSize - into)
        return fail(IconError::Malformed);
    const std::uint64_t offset = std::uint64_t(s.rawOffset) + into;
    if (withinFile && (offset > m_source->size() || length > m_source->size() - offset))
        return fail(IconError::Malformed);
    return offset;
}

Result<std::vector<std::uint8_t>> ResourceTables::readRva(std::uint64_t rva,
                                                          std::uint64_t length) const {
    auto offset = rvaToOffset(rva, length);
    if (!offset)
        return fail(offset.error());
    return m_source->read(*offset, length);
}

Result<ResourceTables::DirectoryLevel>
ResourceTables::readDirectoryHeader(std::uint32_t rel) const {
    auto bytes = readRva(std::uint64_t(m_resourceRva) + rel, ImageResourceDirectory::kSize);
    if (!bytes)
        return fail(bytes.error());
    ByteReader header(*bytes);
    std::uint32_t entries =
        std::uint32_t(*header.u16(ImageResourceDirectory::NumberOfNamedEntries)) +
        *header.u16(ImageResourceDirectory::NumberOfIdEntries);
    return DirectoryLevel{rel, entries};
}

Result<std::vector<std::uint8_t>>
ResourceTables::readDirectoryEntries(const DirectoryLevel& level) const {
    if (level.entries == 0)
        return std::vector<std::uint8_t>{}; // an empty directory may end its section
    return readRva(std::uint64_t(m_resourceRva) + level.rel + ImageResourceDirectory::kSize,
                   std::uint64_t(level.entries) * ImageResourceDirectoryEntry::kSize);
}

// Follows a name-level entry to its language directory and finds the data of the first
// language. The tree is walked at fixed depth, so a directory that points back at itself
// cannot make the walk loop.
Result<ResourceTables::DataExtent> ResourceTables::firstLanguage(std::uint32_t subdirField,
                                                                 std::uint64_t maxBytes) const {
    if (!(subdirField & kHighBit))
        return fail(IconError::Malformed);
    auto languages = readDirectoryHeader(subdirField & ~kHighBit);
    if (!languages)
        return fail(languages.error());
    if (languages->entries == 0)
        return fail(IconError::Malformed);
    using Entry = ImageResourceDirectoryEntry;
    auto firstBytes =
        readRva(std::uint64_t(m_resourceRva) + languages->rel + ImageResourceDirectory::kSize,
                Entry::kSize);
    if (!firstBytes)
        return fail(firstBytes.error());
    ByteReader first(*firstBytes);
    const std::uint32_t OffsetToData = *first.u32(Entry::OffsetToData);
    if (OffsetToData & kHighBit)
        return fail(IconError::Malformed); // a fourth level: not a resource tree we know
    auto dataEntryBytes =
        readRva(std::uint64_t(m_resourceRva) + OffsetToData, ImageResourceDataEntry::kSize);
    if (!dataEntryBytes)
        return fail(dataEntryBytes.error());
    ByteReader dataEntry(*dataEntryBytes);
    const std::uint32_t dataRva = *dataEntry.u32(ImageResourceDataEntry::OffsetToData);
    const std::uint32_t Size = *dataEntry.u32(ImageResourceDataEntry::Size);
    // The data must lie inside its section; where the section runs past the end of the file,
    // the data is cut there.
    auto offset = rvaToOffset(dataRva, Size, false);
    if (!offset)
        return fail(offset.error());
    const std::uint64_t present =
        *offset > m_source->size() ? 0 : std::min<std::uint64_t>(Size, m_source->size() - *offset);
    if (present > maxBytes)
        return fail(IconError::TooLarge);
    return DataExtent{*offset, Size};
}

Result<ResourceName> ResourceTables::readPeName(std::uint32_t nameField) const {
    ResourceName name;
    if (!(nameField & kHighBit)) {
        name.id = static_cast<std::uint16_t>(nameField);
        return name;
    }
    const std::uint64_t at = std::uint64_t(m_resourceRva) + (nameField & ~kHighBit);
    auto lengthBytes = readRva(at + ImageResourceDirStringU::Length, 2);
    if (!lengthBytes)
        return fail(lengthBytes.error());
    const std::uint16_t Length = *ByteReader(*lengthBytes).u16(0);
    const std::uint32_t units = std::min<std::uint32_t>(Length, kMaxNameUnits);
    m_nameBytesRead += ImageResourceDirStringU::NameString + std::uint64_t(units) * 2;
    if (m_nameBytesRead > m_source->size())
        return fail(IconError::TooLarge);
    auto chars = readRva(at + ImageResourceDirStringU::NameString, std::uint64_t(units) * 2);
    if (!chars)
        return fail(chars.error());
    name.isId = false;
    name.name = utf16ToUtf8(ByteReader(*chars), units);
    if (units < Length)
        name.name += "\u2026";
    return name;
}

Result<ResourceTables::DirectoryEntry> ResourceTables::peGroupEntry(std::uint32_t index) const {
    using Entry = ImageResourceDirectoryEntry;
    auto bytes = readRva(std::uint64_t(m_resourceRva) + m_groupDir->rel +
                             ImageResourceDirectory::kSize + std::uint64_t(index) * Entry::kSize,
                         Entry::kSize);
    if (!bytes)
        return fail(bytes.error());
    ByteReader entry(*bytes);
    return DirectoryEntry{*entry.u32(Entry::Name), *entry.u32(Entry::OffsetToData)};
}

// NE: the header locates the resource table, whose RT_GROUP_ICON and RT_ICON types are kept.
Result<ResourceTables> ResourceTables::openNe(const Source& source, std::uint32_t neOffset) {
    ResourceTables file(source);
    file.m_kind = FileKind::Ne;
    auto headerBytes = source.read(neOffset, ImageOs2Header::kSize);
    if (!headerBytes)
        return fail(IconError::Malformed);
    ByteReader header(*headerBytes);
    const std::uint16_t ne_rsrctab = *header.u16(ImageOs2Header::ne_rsrctab);
    const std::uint16_t ne_restab = *header.u16(ImageOs2Header::ne_restab);
    if (ne_rsrctab == ne_restab)
        return file; // an empty resource table
    if (auto read = file.readNeResourceTable(std::uint64_t(neOffset) + ne_rsrctab); !read)
        return fail(read.error());
    file.m_groupCount = static_cast<std::uint32_t>(file.m_neGroups.size());
    return file;
}

namespace {

// One NAMEINFO of the NE resource table: where the resource lies (its offsets shifted by the
// table's alignment) and its id or name. A name is a length byte and that many characters, from
// the table's start.
NeResource neResource(const ByteReader& table, const ByteReader& info, std::uint16_t shift) {
    NeResource r;
    r.offset = std::uint64_t(*info.u16(NameInfo::rnOffset)) << shift;
    r.length = std::uint64_t(*info.u16(NameInfo::rnLength)) << shift;
    r.rnID = *info.u16(NameInfo::rnID);
    if (r.rnID & NameInfo::kIntegerId) {
        r.name.id = static_cast<std::uint16_t>(r.rnID & ~unsigned{NameInfo::kIntegerId});
        return r;
    }
    r.name.isId = false;
    if (auto length = table.u8(r.rnID))
        if (auto chars = table.sub(std::uint64_t(r.rnID) + 1, *length))
            r.name.name = latin1ToUtf8(chars->bytes());
    return r;
}

} // namespace

Result<void> ResourceTables::readNeResourceTable(std::uint64_t tableAt) {
    auto tableBytes = m_source->readUpTo(tableAt, kMaxNeResourceTableBytes);
    if (!tableBytes)
        return fail(IconError::Malformed);
    ByteReader table(*tableBytes);
    auto rscAlignShift = table.u16(NeResourceTable::rscAlignShift);
    if (!rscAlignShift)
        return fail(IconError::Malformed);
    if (*rscAlignShift > kMaxNeAlignShift)
        return fail(IconError::TooLarge);

    // Each TYPEINFO moves the position forward by at least 8 bytes, inside a bounded table.
    std::uint64_t pos = NeResourceTable::rscTypes;
    bool seenGroups = false;
    bool seenIcons = false;
    while (true) {
        auto rtTypeID = table.u16(pos + TypeInfo::rtTypeID);
        if (!rtTypeID)
            return fail(IconError::Malformed);
        if (*rtTypeID == 0)
            break;
        auto rtResourceCount = table.u16(pos + TypeInfo::rtResourceCount);
        if (!rtResourceCount)
            return fail(IconError::Malformed);
        auto names = table.sub(pos + TypeInfo::rtNameInfo,
                               std::uint64_t(*rtResourceCount) * NameInfo::kSize);
        if (!names)
            return fail(IconError::Malformed);
        std::vector<NeResource>* list = nullptr;
        if (*rtTypeID == kNeRtGroupIcon && !seenGroups) {
            list = &m_neGroups;
            seenGroups = true;
        } else if (*rtTypeID == kNeRtIcon && !seenIcons) {
            list = &m_neIcons;
            seenIcons = true;
        }
        for (std::uint64_t i = 0; list && i < *rtResourceCount; ++i)
            list->push_back(neResource(table, *names->sub(i * NameInfo::kSize, NameInfo::kSize),
                                       *rscAlignShift));
        pos += TypeInfo::kSize + names->size();
    }
    return {};
}

// ICO: the header alone decides the count; the directory is read with the group.
Result<ResourceTables> ResourceTables::openIco(const Source& source) {
    ResourceTables file(source);
    file.m_kind = FileKind::Ico;
    auto head = source.read(0, IconDir::kSize);
    if (!head)
        return fail(IconError::NotIconFile);
    file.m_icoCount = *ByteReader(*head).u16(IconDir::idCount);
    if (file.m_icoCount == 0)
        return fail(IconError::NotIconFile);
    file.m_groupCount = 1;
    return file;
}

Result<IconGroup> ResourceTables::group(std::uint32_t index) const {
    if (index >= m_groupCount)
        return fail(IconError::OutOfRange);
    switch (m_kind) {
    case FileKind::Ico: {
        const std::uint16_t idCount = m_icoCount;
        if (idCount > kMaxGroupEntries)
            return fail(IconError::TooLarge);
        // Unlike a group resource, an .ico file's directory must be whole: a cut one gives
        // a count of 1 and no icon.
        auto dir =
            m_source->read(0, IconDir::kSize + std::uint64_t(idCount) * IconDirEntryRecord::kSize);
        if (!dir)
            return fail(dir.error());
        auto entries = parseDirectory<IconDirEntryRecord>(ByteReader(*dir), idCount);
        if (!entries)
            return fail(entries.error());
        return IconGroup{std::move(*entries)};
    }
    case FileKind::Ne: {
        const NeResource& r = m_neGroups[index];
        return readGroupDirectory(*m_source, r.offset, std::min(r.length, kMaxGroupDirectoryBytes));
    }
    case FileKind::Pe: {
        auto entry = peGroupEntry(index);
        if (!entry)
            return fail(entry.error());
        auto data = firstLanguage(entry->OffsetToData, kMaxGroupDirectoryBytes);
        if (!data)
            return fail(data.error());
        return readGroupDirectory(*m_source, data->offset, data->length);
    }
    }
    return fail(IconError::Malformed);
}

Result<ResourceName> ResourceTables::groupName(std::uint32_t index) const {
    if (index >= m_groupCount)
        return fail(IconError::OutOfRange);
    switch (m_kind) {
    case FileKind::Ico:
        return ResourceName{true, 1, {}};
    case FileKind::Ne:
        return m_neGroups[index].name;
    case FileKind::Pe: {
        auto entry = peGroupEntry(index);
        if (!entry)
            return fail(entry.error());
        return readPeName(entry->Name);
    }
    }
    return fail(IconError::Malformed);
}

Result<const std::vector<ResourceTables::IdEntry>*> ResourceTables::iconIndex() const {
    if (m_iconIndex)
        return &*m_iconIndex;
    std::vector<IdEntry> index;
    if (m_kind == FileKind::Ne) {
        index.reserve(m_neIcons.size());
        for (std::size_t i = 0; i < m_neIcons.size(); ++i)
            index.push_back({m_neIcons[i].rnID, static_cast<std::uint32_t>(i)});
    } else if (m_iconDir) {
        auto entries = readDirectoryEntries(*m_iconDir);
        if (!entries)
            return fail(entries.error());
        using Entry = ImageResourceDirectoryEntry;
        ByteReader list(*entries);
        index.reserve(m_iconDir->entries);
        for (std::uint32_t i = 0; i < m_iconDir->entries; ++i) {
            ByteReader entry = *list.sub(std::uint64_t(i) * Entry::kSize, Entry::kSize);
            index.push_back({*entry.u32(Entry::Name), *entry.u32(Entry::OffsetToData)});
        }
    }
    // Stable, so that of two entries with one id the first in the file is found, as a walk
    // through the directory would find it.
    std::stable_sort(index.begin(), index.end(),
                     [](const IdEntry& a, const IdEntry& b) { return a.id < b.id; });
    m_iconIndex = std::move(index);
    return &*m_iconIndex;
}

Result<std::uint32_t> ResourceTables::findIcon(std::uint16_t id) const {
    auto index = iconIndex();
    if (!index)
        return fail(index.error());
    const std::uint32_t key = m_kind == FileKind::Ne ? (id | NameInfo::kIntegerId) : id;
    auto it = std::lower_bound((*index)->begin(), (*index)->end(), key,
                               [](const IdEntry& e, std::uint32_t k) { return e.id < k; });
    if (it == (*index)->end() || it->id != key)
        return fail(IconError::OutOfRange);
    return it->target;
}

Result<ImageLocation> ResourceTables::locateImage(const IconDirEntry& entry) const {
    if (m_kind == FileKind::Ico)
        return cutAtEnd(*m_source, entry.dwImageOffset, entry.dwBytesInRes);
    auto target = findIcon(entry.nId);
    if (!target)
        return fail(target.error());
    if (m_kind == FileKind::Ne) {
        const NeResource& r = m_neIcons[*target];
        return cutAtEnd(*m_source, r.offset, r.length);
    }
    auto data = firstLanguage(*target, kMaxImageBytes);
    if (!data)
        return fail(data.error());
    return cutAtEnd(*m_source, data->offset, data->length);
}

IconFile::IconFile(std::shared_ptr<const ResourceTables> tables) : m_tables(std::move(tables)) {}

Result<IconFile> IconFile::open(const Source& source) {
    auto tables = ResourceTables::open(source);
    if (!tables)
        return fail(tables.error());
    return IconFile(std::make_shared<const ResourceTables>(std::move(*tables)));
}

FileKind IconFile::kind() const {
    return m_tables->kind();
}

std::uint32_t IconFile::groupCount() const {
    return m_tables->groupCount();
}

const Source& IconFile::source() const {
    return m_tables->source();
}

Result<IconGroup> IconFile::group(std::uint32_t index) const {
    return m_tables->group(index);
}

Result<ResourceName> IconFile::groupName(std::uint32_t index) const {
    return m_tables->groupName(index);
}

Result<ImageLocation> IconFile::locateImage(const IconDirEntry& entry) const {
    return m_tables->locateImage(entry);
}

Result<std::vector<std::uint8_t>> IconFile::imageBytes(const IconDirEntry& entry) const {
    auto location = locateImage(entry);
    if (!location)
        return fail(location.error());
    return source().read(location->offset, location->length);
}

} // namespace quorvane::icons
