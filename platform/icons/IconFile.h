// The icon resources of a program or icon file: PE32/PE32+ and NE resource tables, .ico files.
#pragma once

#include "Result.h"
#include "Source.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvane::icons {

// Limits on what a file may claim; anything beyond them is treated as malformed.
inline constexpr std::uint32_t kMaxDirectoryEntries = 2 * 65535; // named + id entries of a level
inline constexpr std::uint32_t kMaxSections = 65535;
inline constexpr std::uint16_t kMaxNeAlignShift = 16;
inline constexpr std::uint64_t kMaxNeResourceTableBytes = 64u << 10;
inline constexpr std::uint64_t kMaxGroupBytes = 6 + 14 * 65535;
inline constexpr std::uint64_t kMaxImageBytes = 16u << 20;

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
    ResourceName name;
    std::vector<IconDirEntry> entries;
};

struct SectionRange {
    std::uint32_t virtualAddress = 0;
    std::uint32_t rawSize = 0;
    std::uint32_t rawOffset = 0;
};

struct NeResource {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    std::uint16_t rnID = 0;
    ResourceName name;
};

class IconFile {
  public:
    // Recognises the file by its content. NotIconFile for anything that is not PE, NE or ICO
    // (cursors, bitmaps, DOS-only, LE/LX, ELF, text, empty); Malformed when the headers do not
    // hold together. A PE or NE file without icon groups opens with a count of 0.
    static Result<IconFile> open(const Source& source);

    FileKind kind() const { return m_kind; }
    std::uint32_t groupCount() const { return m_groupCount; }

    // The group's name and image directory; OutOfRange past the count, Malformed when the
    // resource tree does not lead to readable group data.
    Result<IconGroup> group(std::uint32_t index) const;

    // The bytes of one image of a group: for PE and NE the RT_ICON resource that the entry
    // names (OutOfRange when there is none), for .ico the bytes at its offset. An image that
    // runs past the end of the file is returned as far as the file goes.
    Result<std::vector<std::uint8_t>> imageBytes(const IconDirEntry& entry) const;

    // Any resource of a PE file by numeric type and id, in its first language: the data and
    // the language. OutOfRange when there is none, NotIconFile for NE and ICO files.
    struct Resource {
        std::uint16_t language = 0;
        std::vector<std::uint8_t> bytes;
    };
    Result<Resource> resource(std::uint16_t type, std::uint16_t id) const;

  private:
    explicit IconFile(const Source& source) : m_source(&source) {}
    static Result<IconFile> openPe(const Source& source, std::uint32_t peOffset);
    static Result<IconFile> openNe(const Source& source, std::uint32_t neOffset);
    static Result<IconFile> openIco(const Source& source);

    Result<std::uint64_t> rvaToOffset(std::uint64_t rva, std::uint64_t length) const;
    Result<std::vector<std::uint8_t>> readRva(std::uint64_t rva, std::uint64_t length,
                                              bool allowShort = false) const;
    struct DirectoryLevel {
        std::uint32_t rel = 0; // offset from the resource root
        std::uint32_t entries = 0;
    };
    Result<DirectoryLevel> readDirectoryHeader(std::uint32_t rel) const;
    Result<std::vector<std::uint8_t>> readFirstLanguage(std::uint32_t subdirField,
                                                        std::uint64_t maxBytes,
                                                        std::uint16_t* language = nullptr) const;
    // The OffsetToData field of the id entry `id` in the directory at `level`; OutOfRange if none.
    Result<std::uint32_t> findIdEntry(const DirectoryLevel& level, std::uint32_t id) const;
    Result<ResourceName> readPeName(std::uint32_t nameField) const;

    const Source* m_source;
    FileKind m_kind = FileKind::Ico;
    std::uint32_t m_groupCount = 0;

    // PE
    std::vector<SectionRange> m_sections;
    std::uint32_t m_resourceRva = 0;
    std::optional<DirectoryLevel> m_groupDir;
    std::optional<DirectoryLevel> m_iconDir;

    // NE
    std::vector<NeResource> m_neGroups;
    std::vector<NeResource> m_neIcons;

    // ICO
    IconGroup m_icoGroup;
};

// The entry that best fits 32x32: the smallest |w - 32| + |h - 32|, then the larger image, then
// the bit count nearest 32, then the first. Empty for an empty list.
std::optional<std::size_t> chooseImage(const std::vector<IconDirEntry>& entries);

} // namespace quorvane::icons
