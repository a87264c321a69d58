// The icon groups of a program or icon file (PE32/PE32+, NE, .ico), their images and where
// those lie: one layer over the readers of each format, which enforces the reader's limits.
#pragma once

#include "quorvane/icons/IconBitmap.h"
#include "quorvane/icons/Result.h"
#include "quorvane/icons/Source.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvane::icons {

enum class FileKind { Pe, Ne, Ico };

struct ResourceName {
    bool isId = true;
    std::uint16_t id = 0;
    std::string name; // UTF-8, for named resources
    std::string text() const { return isId ? std::to_string(id) : name; }
};

// One image as a group directory (or an .ico file's directory) describes it, and where the
// entry stands.
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
    std::uint32_t group = 0;         // the group's index
    std::uint32_t position = 0;      // the entry's place in its directory, from 0

    // "group G, entry P", for the messages about the entry's image.
    std::string place() const {
        return "group " + std::to_string(group) + ", entry " + std::to_string(position);
    }
    // Width or height 0 in an icon directory entry means 256.
    int width() const { return bWidth == 0 ? 256 : bWidth; }
    int height() const { return bHeight == 0 ? 256 : bHeight; }
};

struct IconGroup {
    std::vector<IconDirEntry> entries;
};

// Where one image's bytes lie in the file.
struct ImageLocation {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

// What a directory entry and the first bytes of its image tell: the size from the entry, the
// bit count from the entry or else the DIB header (32 for a PNG without one), the format, and
// the length as located.
struct ImageFacts {
    int width = 0;
    int height = 0;
    unsigned bitCount = 0;
    ImageFormat format = ImageFormat::Dib;
    std::uint64_t length = 0;
};

class FormatReader; // the reader of the file's own format

class IconFile {
  public:
    // Recognises the file by its content: NotIconFile for anything that is not PE, NE or ICO
    // (cursors, bitmaps, DOS-only, LE/LX, ELF, text, empty), Malformed when its headers do not
    // hold together. A PE or NE file without icon groups opens with a count of 0; an .ico file
    // counts 1 from its 6-byte header alone. The file keeps a reference to the source, which
    // must outlive it.
    static Result<IconFile> open(const Source& source);
    static Result<IconFile> open(const Source&& source) = delete;

    FileKind kind() const;
    std::uint32_t groupCount() const;
    const Source& source() const { return *m_source; }

    // The group's image directory. A directory that its data holds only in part keeps the
    // entries that are there. OutOfRange past the count, TooLarge for more than 256 images,
    // Malformed when the file's tables do not lead to the directory.
    Result<IconGroup> group(std::uint32_t index) const;
    // The group's resource id or name (cut at 256 characters, ending in "…"). OutOfRange past
    // the count, Malformed when the name lies outside the file; TooLarge once the names read
    // through one IconFile add up past the file's size.
    Result<ResourceName> groupName(std::uint32_t index) const;

    // Where the entry's image lies: for PE and NE the RT_ICON resource with the entry's id
    // (OutOfRange when there is none), for .ico the bytes at its offset. An image that runs
    // past the end of the file is cut there; Malformed when it starts outside the file,
    // TooLarge past 2 MiB.
    Result<ImageLocation> locateImage(const IconDirEntry& entry) const;
    // The bytes that locateImage finds, with its errors.
    Result<std::vector<std::uint8_t>> imageBytes(const IconDirEntry& entry) const;
    // The facts of the entry's image, read from its first bytes, with locateImage's errors.
    Result<ImageFacts> imageFacts(const IconDirEntry& entry) const;
    // The checksum that ties a module to the file that holds its resources: the 16 bytes at
    // offset 44 of its resource configuration (type "MUI", name 1), which must start with the
    // configuration's signature and hold its whole 132-byte fixed header. nullopt for a file
    // without a sound one.
    std::optional<std::array<std::uint8_t, 16>> muiChecksum() const;

  private:
    IconFile(const Source& source, std::shared_ptr<const FormatReader> reader);
    const Source* m_source;
    std::shared_ptr<const FormatReader> m_reader;
};

} // namespace quorvane::icons
