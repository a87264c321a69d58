// Finding icon groups and images in PE, NE and ICO files; every field is checked before use.
#include "IconFile.h"

#include "ByteReader.h"

#include <algorithm>
#include <cstdlib>

namespace quorvane::icons {
namespace {

constexpr std::uint16_t kRtIcon = 3;
constexpr std::uint16_t kRtGroupIcon = 14;
constexpr std::uint16_t kNeRtIcon = 0x8003;
constexpr std::uint16_t kNeRtGroupIcon = 0x800E;
constexpr std::uint32_t kHighBit = 0x80000000u;
constexpr std::size_t kDirectoryHeaderSize = 16; // IMAGE_RESOURCE_DIRECTORY
constexpr std::size_t kDirectoryEntrySize = 8;   // IMAGE_RESOURCE_DIRECTORY_ENTRY
constexpr std::size_t kDataEntrySize = 16;       // IMAGE_RESOURCE_DATA_ENTRY
constexpr std::size_t kSectionHeaderSize = 40;   // IMAGE_SECTION_HEADER
constexpr std::size_t kGroupEntrySize = 14;      // GRPICONDIRENTRY
constexpr std::size_t kIcoEntrySize = 16;        // ICONDIRENTRY
constexpr std::size_t kNameInfoSize = 12;        // NE NAMEINFO
constexpr std::size_t kTypeInfoSize = 8;         // NE TYPEINFO without its NAMEINFOs

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

// The fields that GRPICONDIRENTRY and ICONDIRENTRY share, from bWidth to dwBytesInRes; the
// caller has checked that the entry lies inside the data.
IconDirEntry readEntryFields(const ByteReader& data, std::size_t at) {
    IconDirEntry e;
    e.bWidth = *data.u8(at);
    e.bHeight = *data.u8(at + 1);
    e.bColorCount = *data.u8(at + 2);
    e.bReserved = *data.u8(at + 3);
    e.wPlanes = *data.u16(at + 4);
    e.wBitCount = *data.u16(at + 6);
    e.dwBytesInRes = *data.u32(at + 8);
    return e;
}

// GRPICONDIR followed by GRPICONDIRENTRYs; entries that the data does not hold are dropped.
std::vector<IconDirEntry> parseGroupDirectory(const ByteReader& data) {
    std::vector<IconDirEntry> entries;
    auto idCount = data.u16(4);
    if (!idCount)
        return entries;
    std::size_t fits = data.size() >= 6 ? (data.size() - 6) / kGroupEntrySize : 0;
    std::size_t count = std::min<std::size_t>(*idCount, fits);
    entries.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t at = 6 + i * kGroupEntrySize;
        IconDirEntry e = readEntryFields(data, at);
        e.nId = *data.u16(at + 12);
        entries.push_back(e);
    }
    return entries;
}

} // namespace

std::optional<std::size_t> chooseImage(const std::vector<IconDirEntry>& entries) {
    std::optional<std::size_t> best;
    auto key = [](const IconDirEntry& e) {
        int distance = std::abs(e.width() - 32) + std::abs(e.height() - 32);
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

Result<IconFile> IconFile::open(const Source& source) {
    auto head = source.readUpTo(0, 64);
    if (!head)
        return fail(head.error());
    ByteReader dos(*head);
    auto magic = dos.u16(0);
    if (magic == 0x5A4D) { // "MZ"
        auto e_lfanew = dos.u32(0x3C);
        if (!e_lfanew)
            return fail(IconError::NotIconFile);
        auto signature = source.readUpTo(*e_lfanew, 4);
        if (!signature)
            return fail(IconError::NotIconFile);
        ByteReader sig(*signature);
        if (sig.u32(0) == 0x00004550u) // "PE\0\0"
            return openPe(source, *e_lfanew);
        if (sig.u16(0) == 0x454Eu) // "NE"
            return openNe(source, *e_lfanew);
        return fail(IconError::NotIconFile); // DOS-only, LE, LX and the like
    }
    // ICONDIR: idReserved 0, idType 1 (2 would be a cursor).
    if (magic == 0 && dos.u16(2) == 1)
        return openIco(source);
    return fail(IconError::NotIconFile);
}

Result<IconFile> IconFile::openPe(const Source& source, std::uint32_t peOffset) {
    IconFile file(source);
    file.m_kind = FileKind::Pe;
    auto coffBytes = source.read(std::uint64_t(peOffset) + 4, 20); // IMAGE_FILE_HEADER
    if (!coffBytes)
        return fail(IconError::Malformed);
    ByteReader coff(*coffBytes);
    std::uint16_t NumberOfSections = *coff.u16(2);
    std::uint16_t SizeOfOptionalHeader = *coff.u16(16);
    std::uint64_t optionalAt = std::uint64_t(peOffset) + 24;
    auto optionalBytes = source.read(optionalAt, SizeOfOptionalHeader);
    if (!optionalBytes)
        return fail(IconError::Malformed);
    ByteReader optional(*optionalBytes);
    auto Magic = optional.u16(0);
    std::uint64_t countAt = 0;
    std::uint64_t directoriesAt = 0;
    if (Magic == 0x10B) { // PE32
        countAt = 92;
        directoriesAt = 96;
    } else if (Magic == 0x20B) { // PE32+
        countAt = 108;
        directoriesAt = 112;
    } else {
        return fail(IconError::Malformed);
    }
    auto NumberOfRvaAndSizes = optional.u32(countAt);
    constexpr std::uint32_t kResourceDirectory = 2;
    if (!NumberOfRvaAndSizes || *NumberOfRvaAndSizes <= kResourceDirectory)
        return file; // no resource directory: no icons
    auto resourceRva = optional.u32(directoriesAt + std::size_t{8} * kResourceDirectory);
    if (!resourceRva)
        return file;
    if (*resourceRva == 0)
        return file;
    file.m_resourceRva = *resourceRva;

    if (NumberOfSections > kMaxSections)
        return fail(IconError::TooLarge);
    auto sectionBytes =
        source.read(optionalAt + SizeOfOptionalHeader, NumberOfSections * kSectionHeaderSize);
    if (!sectionBytes)
        return fail(IconError::Malformed);
    ByteReader sections(*sectionBytes);
    file.m_sections.reserve(NumberOfSections);
    for (std::size_t i = 0; i < NumberOfSections; ++i) {
        std::size_t at = i * kSectionHeaderSize;
        file.m_sections.push_back(
            {*sections.u32(at + 12), *sections.u32(at + 16), *sections.u32(at + 20)});
    }

    auto root = file.readDirectoryHeader(0);
    if (!root)
        return fail(root.error());
    auto rootEntries = file.readRva(file.m_resourceRva + kDirectoryHeaderSize,
                                    root->entries * kDirectoryEntrySize);
    if (!rootEntries)
        return fail(rootEntries.error());
    ByteReader types(*rootEntries);
    for (std::uint32_t i = 0; i < root->entries; ++i) {
        std::uint32_t Name = *types.u32(i * kDirectoryEntrySize);
        std::uint32_t OffsetToData = *types.u32(i * kDirectoryEntrySize + 4);
        if ((Name & kHighBit) || !(OffsetToData & kHighBit))
            continue; // named types are never icons; a type must lead to a directory
        std::optional<DirectoryLevel>* slot = nullptr;
        if (Name == kRtGroupIcon)
            slot = &file.m_groupDir;
        else if (Name == kRtIcon)
            slot = &file.m_iconDir;
        if (!slot || *slot)
            continue;
        auto level = file.readDirectoryHeader(OffsetToData & ~kHighBit);
        if (!level)
            return fail(level.error());
        // The whole entry array must be there for the count to be believed.
        if (!file.rvaToOffset(std::uint64_t(file.m_resourceRva) + level->rel + kDirectoryHeaderSize,
                              std::uint64_t(level->entries) * kDirectoryEntrySize))
            return fail(IconError::Malformed);
        *slot = *level;
    }
    file.m_groupCount = file.m_groupDir ? file.m_groupDir->entries : 0;
    return file;
}

Result<std::uint64_t> IconFile::rvaToOffset(std::uint64_t rva, std::uint64_t length) const {
    for (const SectionRange& s : m_sections) {
        if (rva < s.virtualAddress)
            continue;
        std::uint64_t into = rva - s.virtualAddress;
        if (into >= s.rawSize)
            continue;
        if (length > s.rawSize - into)
            return fail(IconError::Malformed);
        return std::uint64_t(s.rawOffset) + into;
    }
    return fail(IconError::Malformed);
}

Result<std::vector<std::uint8_t>> IconFile::readRva(std::uint64_t rva, std::uint64_t length,
                                                    bool allowShort) const {
    auto offset = rvaToOffset(rva, length);
    if (!offset)
        return fail(offset.error());
    return allowShort ? m_source->readUpTo(*offset, length) : m_source->read(*offset, length);
}

Result<IconFile::DirectoryLevel> IconFile::readDirectoryHeader(std::uint32_t rel) const {
    auto bytes = readRva(std::uint64_t(m_resourceRva) + rel, kDirectoryHeaderSize);
    if (!bytes)
        return fail(bytes.error());
    ByteReader header(*bytes);
    std::uint32_t entries = std::uint32_t(*header.u16(12)) + *header.u16(14);
    return DirectoryLevel{rel, entries};
}

// Follows a name-level entry to its language directory and returns the data of the first
// language. The tree is walked at fixed depth, so a directory that points back at itself
// cannot make the walk loop.
Result<std::vector<std::uint8_t>> IconFile::readFirstLanguage(std::uint32_t subdirField,
                                                              std::uint64_t maxBytes,
                                                              std::uint16_t* language) const {
    if (!(subdirField & kHighBit))
        return fail(IconError::Malformed);
    auto languages = readDirectoryHeader(subdirField & ~kHighBit);
    if (!languages)
        return fail(languages.error());
    if (languages->entries == 0)
        return fail(IconError::Malformed);
    auto first = readRva(std::uint64_t(m_resourceRva) + languages->rel + kDirectoryHeaderSize,
                         kDirectoryEntrySize);
    if (!first)
        return fail(first.error());
    std::uint32_t OffsetToData = *ByteReader(*first).u32(4);
    if (language)
        *language = static_cast<std::uint16_t>(*ByteReader(*first).u32(0));
    if (OffsetToData & kHighBit)
        return fail(IconError::Malformed); // a fourth level: not a resource tree we know
    auto dataEntry = readRva(std::uint64_t(m_resourceRva) + OffsetToData, kDataEntrySize);
    if (!dataEntry)
        return fail(dataEntry.error());
    ByteReader entry(*dataEntry);
    std::uint32_t dataRva = *entry.u32(0);
    std::uint32_t Size = *entry.u32(4);
    if (Size > maxBytes)
        return fail(IconError::TooLarge);
    return readRva(dataRva, Size, true);
}

Result<ResourceName> IconFile::readPeName(std::uint32_t nameField) const {
    ResourceName name;
    if (!(nameField & kHighBit)) {
        name.id = static_cast<std::uint16_t>(nameField);
        return name;
    }
    // IMAGE_RESOURCE_DIR_STRING_U: a 16-bit length, then that many UTF-16 units.
    std::uint64_t at = std::uint64_t(m_resourceRva) + (nameField & ~kHighBit);
    auto lengthBytes = readRva(at, 2);
    if (!lengthBytes)
        return fail(lengthBytes.error());
    std::uint16_t Length = *ByteReader(*lengthBytes).u16(0);
    auto chars = readRva(at + 2, std::uint64_t(Length) * 2);
    if (!chars)
        return fail(chars.error());
    name.isId = false;
    name.name = utf16ToUtf8(ByteReader(*chars), Length);
    return name;
}

Result<IconFile> IconFile::openNe(const Source& source, std::uint32_t neOffset) {
    IconFile file(source);
    file.m_kind = FileKind::Ne;
    auto headerBytes = source.read(neOffset, 0x40);
    if (!headerBytes)
        return fail(IconError::Malformed);
    ByteReader header(*headerBytes);
    std::uint16_t ne_rsrctab = *header.u16(0x24);
    std::uint16_t ne_restab = *header.u16(0x26);
    if (ne_rsrctab == ne_restab)
        return file; // an empty resource table
    std::uint64_t tableAt = std::uint64_t(neOffset) + ne_rsrctab;
    auto tableBytes = source.readUpTo(tableAt, kMaxNeResourceTableBytes);
    if (!tableBytes)
        return fail(IconError::Malformed);
    ByteReader table(*tableBytes);
    auto rscAlignShift = table.u16(0);
    if (!rscAlignShift)
        return fail(IconError::Malformed);
    if (*rscAlignShift > kMaxNeAlignShift)
        return fail(IconError::TooLarge);

    // Each TYPEINFO moves the position forward by at least 8 bytes, inside a bounded table.
    std::uint64_t pos = 2;
    bool seenGroups = false;
    bool seenIcons = false;
    while (true) {
        auto rtTypeID = table.u16(pos);
        if (!rtTypeID)
            return fail(IconError::Malformed);
        if (*rtTypeID == 0)
            break;
        auto rtResourceCount = table.u16(pos + 2);
        if (!rtResourceCount)
            return fail(IconError::Malformed);
        std::uint64_t first = pos + kTypeInfoSize;
        if (!table.has(first, std::uint64_t(*rtResourceCount) * kNameInfoSize))
            return fail(IconError::Malformed);
        std::vector<NeResource>* list = nullptr;
        if (*rtTypeID == kNeRtGroupIcon && !seenGroups) {
            list = &file.m_neGroups;
            seenGroups = true;
        } else if (*rtTypeID == kNeRtIcon && !seenIcons) {
            list = &file.m_neIcons;
            seenIcons = true;
        }
        for (std::uint64_t i = 0; list && i < *rtResourceCount; ++i) {
            std::uint64_t at = first + i * kNameInfoSize;
            NeResource r;
            r.offset = std::uint64_t(*table.u16(at)) << *rscAlignShift;
            r.length = std::uint64_t(*table.u16(at + 2)) << *rscAlignShift;
            r.rnID = *table.u16(at + 6);
            if (r.rnID & 0x8000) {
                r.name.id = r.rnID & 0x7FFF;
            } else {
                // A name is a length byte and that many characters, from the table's start.
                r.name.isId = false;
                auto length = table.u8(r.rnID);
                if (length && table.has(std::uint64_t(r.rnID) + 1, *length)) {
                    auto chars = table.bytes().subspan(r.rnID + 1, *length);
                    r.name.name.assign(chars.begin(), chars.end());
                }
            }
            list->push_back(std::move(r));
        }
        pos = first + std::uint64_t(*rtResourceCount) * kNameInfoSize;
    }
    file.m_groupCount = static_cast<std::uint32_t>(file.m_neGroups.size());
    return file;
}

Result<IconFile> IconFile::openIco(const Source& source) {
    IconFile file(source);
    file.m_kind = FileKind::Ico;
    auto headBytes = source.read(0, 6);
    if (!headBytes)
        return fail(IconError::NotIconFile);
    std::uint16_t idCount = *ByteReader(*headBytes).u16(4);
    if (idCount == 0)
        return fail(IconError::NotIconFile);
    auto dirBytes = source.read(6, std::uint64_t(idCount) * kIcoEntrySize);
    if (!dirBytes)
        return fail(IconError::NotIconFile);
    ByteReader dir(*dirBytes);
    for (std::size_t i = 0; i < idCount; ++i) {
        std::size_t at = i * kIcoEntrySize;
        IconDirEntry e = readEntryFields(dir, at);
        e.dwImageOffset = *dir.u32(at + 12);
        file.m_icoGroup.entries.push_back(e);
    }
    file.m_icoGroup.name.id = 1;
    file.m_groupCount = 1;
    return file;
}

Result<IconGroup> IconFile::group(std::uint32_t index) const {
    if (index >= m_groupCount)
        return fail(IconError::OutOfRange);
    switch (m_kind) {
    case FileKind::Ico:
        return m_icoGroup;
    case FileKind::Ne: {
        const NeResource& r = m_neGroups[index];
        auto bytes = m_source->readUpTo(r.offset, std::min(r.length, kMaxGroupBytes));
        if (!bytes)
            return fail(bytes.error());
        return IconGroup{r.name, parseGroupDirectory(ByteReader(*bytes))};
    }
    case FileKind::Pe: {
        auto entryBytes =
            readRva(std::uint64_t(m_resourceRva) + m_groupDir->rel + kDirectoryHeaderSize +
                        std::uint64_t(index) * kDirectoryEntrySize,
                    kDirectoryEntrySize);
        if (!entryBytes)
            return fail(entryBytes.error());
        ByteReader entry(*entryBytes);
        auto name = readPeName(*entry.u32(0));
        if (!name)
            return fail(name.error());
        auto data = readFirstLanguage(*entry.u32(4), kMaxGroupBytes);
        if (!data)
            return fail(data.error());
        return IconGroup{std::move(*name), parseGroupDirectory(ByteReader(*data))};
    }
    }
    return fail(IconError::Malformed);
}

Result<std::vector<std::uint8_t>> IconFile::imageBytes(const IconDirEntry& entry) const {
    switch (m_kind) {
    case FileKind::Ico:
        if (entry.dwBytesInRes > kMaxImageBytes)
            return fail(IconError::TooLarge);
        return m_source->readUpTo(entry.dwImageOffset, entry.dwBytesInRes);
    case FileKind::Ne:
        for (const NeResource& r : m_neIcons) {
            if (r.rnID == (entry.nId | 0x8000)) {
                if (r.length > kMaxImageBytes)
                    return fail(IconError::TooLarge);
                return m_source->readUpTo(r.offset, r.length);
            }
        }
        return fail(IconError::OutOfRange);
    case FileKind::Pe: {
        if (!m_iconDir)
            return fail(IconError::OutOfRange);
        auto subdir = findIdEntry(*m_iconDir, entry.nId);
        if (!subdir)
            return fail(subdir.error());
        return readFirstLanguage(*subdir, kMaxImageBytes);
    }
    }
    return fail(IconError::Malformed);
}

Result<std::uint32_t> IconFile::findIdEntry(const DirectoryLevel& level, std::uint32_t id) const {
    auto entries = readRva(std::uint64_t(m_resourceRva) + level.rel + kDirectoryHeaderSize,
                           std::uint64_t(level.entries) * kDirectoryEntrySize);
    if (!entries)
        return fail(entries.error());
    ByteReader list(*entries);
    for (std::uint32_t i = 0; i < level.entries; ++i) {
        if (*list.u32(i * kDirectoryEntrySize) == id)
            return *list.u32(i * kDirectoryEntrySize + 4);
    }
    return fail(IconError::OutOfRange);
}

Result<IconFile::Resource> IconFile::resource(std::uint16_t type, std::uint16_t id) const {
    if (m_kind != FileKind::Pe)
        return fail(IconError::NotIconFile);
    if (m_resourceRva == 0)
        return fail(IconError::OutOfRange);
    auto root = readDirectoryHeader(0);
    if (!root)
        return fail(root.error());
    auto typeDir = findIdEntry(*root, type);
    if (!typeDir)
        return fail(typeDir.error());
    if (!(*typeDir & kHighBit))
        return fail(IconError::Malformed);
    auto names = readDirectoryHeader(*typeDir & ~kHighBit);
    if (!names)
        return fail(names.error());
    auto nameDir = findIdEntry(*names, id);
    if (!nameDir)
        return fail(nameDir.error());
    Resource out;
    auto bytes = readFirstLanguage(*nameDir, kMaxImageBytes, &out.language);
    if (!bytes)
        return fail(bytes.error());
    out.bytes = std::move(*bytes);
    return out;
}

} // namespace quorvane::icons
