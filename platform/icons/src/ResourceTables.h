// How the resources of one program or icon file are laid out, as IconFile reads them once: the
// sections and resource directories of a PE file, the resource table of an NE file, the
// directory count of an .ico file. IconFile's work is done here.
#pragma once

#include "quorvane/icons/IconFile.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace quorvane::icons {

struct SectionRange {
    std::uint32_t virtualAddress = 0;
    std::uint32_t rawSize = 0;
    std::uint32_t rawOffset = 0;
};

struct NeResource {
    std::uint64_t offset = 0; // in bytes, the alignment shift applied
    std::uint64_t length = 0;
    std::uint16_t rnID = 0;
    ResourceName name;
};

class ResourceTables {
  public:
    // As IconFile::open, group, groupName and locateImage.
    static Result<ResourceTables> open(const Source& source);
    FileKind kind() const { return m_kind; }
    std::uint32_t groupCount() const { return m_groupCount; }
    const Source& source() const { return *m_source; }
    Result<IconGroup> group(std::uint32_t index) const;
    Result<ResourceName> groupName(std::uint32_t index) const;
    Result<ImageLocation> locateImage(const IconDirEntry& entry) const;

  private:
    explicit ResourceTables(const Source& source) : m_source(&source) {}
    static Result<ResourceTables> openPe(const Source& source, std::uint32_t peOffset);
    static Result<ResourceTables> openNe(const Source& source, std::uint32_t neOffset);
    static Result<ResourceTables> openIco(const Source& source);

    struct DirectoryLevel {
        std::uint32_t rel = 0; // offset from the resource root
        std::uint32_t entries = 0;
    };
    struct DataExtent {
        std::uint64_t offset = 0; // in the file
        std::uint64_t length = 0; // as the data entry claims it
    };
    // An id and where its entry leads: for PE the OffsetToData of the RT_ICON name entry, for
    // NE the position in m_neIcons.
    struct IdEntry {
        std::uint32_t id = 0;
        std::uint32_t target = 0;
    };

    Result<void> readSections(std::uint64_t at, std::uint16_t count);
    void mapSections();
    Result<void> findIconDirectories();
    Result<void> readNeResourceTable(std::uint64_t tableAt);
    Result<std::uint64_t> rvaToOffset(std::uint64_t rva, std::uint64_t length,
                                      bool withinFile = true) const;
    Result<std::vector<std::uint8_t>> readRva(std::uint64_t rva, std::uint64_t length) const;
    Result<DirectoryLevel> readDirectoryHeader(std::uint32_t rel) const;
    Result<std::vector<std::uint8_t>> readDirectoryEntries(const DirectoryLevel& level) const;
    // The data of the first language under a name-level entry, at most maxBytes long.
    Result<DataExtent> firstLanguage(std::uint32_t subdirField, std::uint64_t maxBytes) const;
    Result<ResourceName> readPeName(std::uint32_t nameField) const;
    // The Name and OffsetToData fields of the group's entry in the RT_GROUP_ICON directory.
    struct DirectoryEntry {
        std::uint32_t Name = 0;
        std::uint32_t OffsetToData = 0;
    };
    Result<DirectoryEntry> peGroupEntry(std::uint32_t index) const;
    // The RT_ICON ids in order, first occurrence first, read once on the first image lookup.
    Result<const std::vector<IdEntry>*> iconIndex() const;
    Result<std::uint32_t> findIcon(std::uint16_t id) const;

    const Source* m_source;
    FileKind m_kind = FileKind::Ico;
    std::uint32_t m_groupCount = 0;

    // PE
    std::vector<SectionRange> m_sections;
    // Where RVAs lie: runs of addresses that do not overlap, sorted, each with the section that
    // holds it. Where sections overlap, the one first in the section table holds the addresses,
    // as the platform's own lookup finds it.
    struct SectionSpan {
        std::uint64_t begin = 0;
        std::uint64_t end = 0;
        std::uint32_t section = 0;
    };
    std::vector<SectionSpan> m_spans;
    std::uint32_t m_resourceRva = 0;
    std::optional<DirectoryLevel> m_groupDir;
    std::optional<DirectoryLevel> m_iconDir;
    // Not thread-safe: an IconFile serves one caller at a time.
    mutable std::optional<std::vector<IdEntry>> m_iconIndex;
    mutable std::uint64_t m_nameBytesRead = 0;

    // NE
    std::vector<NeResource> m_neGroups;
    std::vector<NeResource> m_neIcons;

    // ICO: the directory's idCount, from the header
    std::uint16_t m_icoCount = 0;
};

} // namespace quorvane::icons
