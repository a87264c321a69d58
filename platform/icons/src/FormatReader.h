// What the reader of one file format finds for the shared layer (IconFile): where a group's
// directory lies, the group's name, and where an image lies, as the file's tables claim them.
// Cutting at the end of the file, parsing group directories and every limit on them are the
// shared layer's.
#pragma once

#include "quorvane/icons/IconFile.h"

#include <cstring>
#include <memory>
#include <optional>
#include <type_traits>

namespace quorvane::icons {

// Bytes of the file, as its tables give their place.
struct Extent {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

class FormatReader {
  public:
    virtual ~FormatReader() = default;
    virtual FileKind kind() const = 0;
    virtual std::uint32_t groupCount() const = 0;
    // For an index below groupCount: the group's directory, a GRPICONDIR (PE, NE) or ICONDIR.
    virtual Result<Extent> groupDirectory(std::uint32_t index) const = 0;
    virtual Result<ResourceName> groupName(std::uint32_t index) const = 0;
    // The entry's image: the RT_ICON resource of its id (OutOfRange when there is none), or
    // in an .ico file the bytes the entry names.
    virtual Result<Extent> image(const IconDirEntry& entry) const = 0;
    // The resource configuration, the data of resource type "MUI" name 1, when the file has one
    // that its tables lead to (only PE files do).
    virtual std::optional<Extent> muiConfiguration() const { return std::nullopt; }
};

// The part of `extent` that the file holds: what a table claims past the end of the file costs
// nothing. Malformed when it starts past the end.
Result<ImageLocation> heldPart(const Source& source, const Extent& extent);

using FormatResult = Result<std::unique_ptr<const FormatReader>>;
// The readers, given the file and where its PE or NE header starts.
FormatResult openPe(const Source& source, std::uint32_t peOffset);
FormatResult openNe(const Source& source, std::uint32_t neOffset);
FormatResult openIco(const Source& source);

// The record (one of records::) at offset in the source, read whole, with Source::read's errors.
template <typename Record> Result<Record> readRecord(const Source& source, std::uint64_t offset) {
    static_assert(std::is_trivially_copyable_v<Record> && alignof(Record) == 1);
    Record record;
    auto read = source.readExactly(offset, std::as_writable_bytes(std::span(&record, 1)));
    if (!read)
        return tl::unexpected(read.error());
    return record;
}

} // namespace quorvane::icons
