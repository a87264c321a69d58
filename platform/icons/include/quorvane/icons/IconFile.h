// The icon resources of a program or icon file: PE32/PE32+ and NE resource tables, .ico files.
#pragma once

#include "quorvane/icons/Result.h"
#include "quorvane/icons/Source.h"

#include <cstdint>
#include <memory>
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

// Where one image's bytes lie in the file: cut at the end of the file, within kMaxImageBytes.
struct ImageLocation {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

class ResourceTables; // how the file's resources are laid out, read once by open

class IconFile {
  public:
    // Recognises the file by its content. NotIconFile for anything that is not PE, NE or ICO
    // (cursors, bitmaps, DOS-only, LE/LX, ELF, text, empty); Malformed when the headers do not
    // hold together. A PE or NE file without icon groups opens with a count of 0. An .ico file
    // counts 1 from its 6-byte header alone, even when the directory behind it is cut short.
    // The file keeps a reference to the source, which must outlive it.
    static Result<IconFile> open(const Source& source);
    static Result<IconFile> open(const Source&& source) = delete;

    FileKind kind() const;
    std::uint32_t groupCount() const;
    const Source& source() const;

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
    explicit IconFile(std::shared_ptr<const ResourceTables> tables);
    std::shared_ptr<const ResourceTables> m_tables;
};

// The entry that best fits size x size (32 for the program): the smallest |w - size| +
// |h - size|, then the larger image, then the bit count nearest 32, then the first. Empty for
// an empty list.
std::optional<std::size_t> chooseImage(const std::vector<IconDirEntry>& entries, int size = 32);

} // namespace quorvane::icons
