// The icon resources of a program or icon file: PE32/PE32+ and NE resource tables, .ico files.
#pragma once

#include "Result.h"
#include "Source.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvane::icons {

// Budgets: what one operation may take from a file, whatever its headers claim. Real files stay
// far below them: across the Windows files of Debian's wine, fonts-wine and nsis packages the
// largest image is 71 kB, the largest group (all its images together) 135 kB and the largest
// group directory 10 images, while a directory entry cannot describe an image above 256x256.
//
// One image: a 512x512 32-bit DIB with its mask takes 1.06 MB.
inline constexpr std::uint64_t kMaxImageBytes = 2u << 20;
// All the images of one group together, as extract writes them: 60 times the largest real group.
inline constexpr std::uint64_t kMaxGroupBytes = 8u << 20;
// Images in one group directory: 25 times the most that a real group holds.
inline constexpr std::uint32_t kMaxGroupEntries = 256;
inline constexpr std::uint64_t kMaxGroupDirectoryBytes = 6 + 14 * kMaxGroupEntries;
// The NE resource table, and the alignment shift of its offsets (a 64 kB table of 16-bit
// offsets shifted by 16 already reaches 4 GB).
inline constexpr std::uint64_t kMaxNeResourceTableBytes = 64u << 10;
inline constexpr std::uint16_t kMaxNeAlignShift = 16;

// A resource name: longer ones are cut to this many characters, and end in "…". Names in real
// files are identifiers of a few dozen characters.
inline constexpr std::uint32_t kMaxNameUnits = 256;

enum class FileKind { Pe, Ne, Ico };

struct ResourceName {
    bool isId = true;
    std::uint16_t id = 0;
    std::string name; // UTF-8, for named resources
    std::string text() const { return isId ? std::to_string(id) : name; }
};

// One image as a group directory (or an .ico file's directory) describes it.
struct IconDirEntry {
    std::uint8_t bWidth = 0;
    std::uint8_t bHeight = 0;
    std::uint8_t bColorCount = 0;
    std::uint8_t bReserved = 0;
    std::uint16_t wPlanes = 0;
    std::uint16_t wBitCount = 0;
    std::uint32_t dwBytesInRes = 0;
    std::uint16_t nId = 0;           // PE and NE: the id of the RT_ICON resource
    std::uint32_t dwImageOffset = 0; // .ico: where the image starts in the file

    // Width or height 0 in an icon directory entry means 256.
    int width() const { return bWidth == 0 ? 256 : bWidth; }
    int height() const { return bHeight == 0 ? 256 : bHeight; }
};

struct IconGroup {
    std::vector<IconDirEntry> entries;
};

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

// Where one image's bytes lie in the file: cut at the end of the file, within kMaxImageBytes.
struct ImageLocation {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

class IconFile {
  public:
    // Recognises the file by its content. NotIconFile for anything that is not PE, NE or ICO
    // (cursors, bitmaps, DOS-only, LE/LX, ELF, text, empty); Malformed when the headers do not
    // hold together. A PE or NE file without icon groups opens with a count of 0. An .ico file
    // counts 1 from its 6-byte header alone, even when the directory behind it is cut short.
    // The file keeps a reference to the source, which must outlive it.
    static Result<IconFile> open(const Source& source);
    static Result<IconFile> open(const Source&& source) = delete;

    FileKind kind() const { return m_kind; }
    std::uint32_t groupCount() const { return m_groupCount; }
    const Source& source() const { return *m_source; }

    // The group's image directory, without the entries that the data does not hold;
    // OutOfRange past the count, TooLarge for a directory of more than kMaxGroupEntries images,
    // Malformed when the resource tree does not lead to readable group data.
    Result<IconGroup> group(std::uint32_t index) const;
    // The group's resource id or name. OutOfRange past the count, Malformed when the name lies
    // outside the file. The names that one IconFile reads add up to at most the file's size
    // (TooLarge past it): every group may name the same string, and reading it again and again
    // must not cost more than the file holds.
    Result<ResourceName> groupName(std::uint32_t index) const;

    // Where the image that a group entry names lies: for PE and NE the RT_ICON resource with
    // the entry's id (OutOfRange when there is none), for .ico the bytes at its offset. An
    // image that runs past the end of the file is cut there; TooLarge past kMaxImageBytes,
    // Malformed when it starts outside the file.
    Result<ImageLocation> locateImage(const IconDirEntry& entry) const;
    // The bytes that locateImage finds.
    Result<std::vector<std::uint8_t>> imageBytes(const IconDirEntry& entry) const;

  private:
    explicit IconFile(const Source& source) : m_source(&source) {}
    static Result<IconFile> openPe(const Source& source, std::uint32_t peOffset);
    static Result<IconFile> openNe(const Source& source, std::uint32_t neOffset);
    static Result<IconFile> openIco(const Source& source);

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

// The entry that best fits size x size (32 for the program): the smallest |w - size| +
// |h - size|, then the larger image, then the bit count nearest 32, then the first. Empty for
// an empty list.
std::optional<std::size_t> chooseImage(const std::vector<IconDirEntry>& entries, int size = 32);

} // namespace quorvane::icons
