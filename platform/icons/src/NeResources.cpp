// The icon resources of a 16-bit NE module: its resource table lists the RT_GROUP_ICON and
// RT_ICON resources, their places counted in units of the table's alignment.
#include "ByteReader.h"
#include "FormatReader.h"
#include "Records.h"
#include "TextCodes.h"

#include <algorithm>
#include <utility>

namespace quorvane::icons {
namespace {

using namespace records;

// The resource table, and the alignment shift of its offsets (a 64 kB table of 16-bit offsets
// shifted by 16 already reaches 4 GB).
constexpr std::uint64_t kMaxResourceTableBytes = 64u << 10;
constexpr std::uint16_t kMaxAlignShift = 16;

struct Resource {
    Extent extent; // in bytes, the alignment shift applied
    std::uint16_t rnID = 0;
    ResourceName name;
};

// One NAMEINFO: where the resource lies and its id or name. A name is a length byte and that
// many characters, from the table's start.
Resource resource(const ByteReader& table, const NameInfo& info, std::uint16_t shift) {
    Resource r;
    r.extent = {std::uint64_t{info.rnOffset} << shift, std::uint64_t{info.rnLength} << shift};
    r.rnID = info.rnID;
    if (r.rnID & NameInfo::kIntegerId) {
        r.name.id = static_cast<std::uint16_t>(r.rnID & ~unsigned{NameInfo::kIntegerId});
        return r;
    }
    r.name.isId = false;
    if (auto length = table.record<Byte>(r.rnID))
        if (auto chars = table.sub(std::uint64_t(r.rnID) + 1, *length))
            r.name.name = latin1ToUtf8(chars->bytes());
    return r;
}

class NeResources final : public FormatReader {
  public:
    explicit NeResources(const Source& source) : m_source(source) {}
    Result<void> open(std::uint32_t neOffset);
    Result<void> readTable(std::uint64_t tableAt);

    FileKind kind() const override { return FileKind::Ne; }
    std::uint32_t groupCount() const override {
        return static_cast<std::uint32_t>(m_groups.size());
    }
    Result<Extent> groupDirectory(std::uint32_t index) const override {
        return m_groups[index].extent;
    }
    Result<ResourceName> groupName(std::uint32_t index) const override {
        return m_groups[index].name;
    }
    Result<Extent> image(const IconDirEntry& entry) const override;

  private:
    const Source& m_source;
    std::vector<Resource> m_groups;
    std::vector<Resource> m_icons; // sorted by id, the first in the table first among equals
};

Result<void> NeResources::open(std::uint32_t neOffset) {
    auto header = readRecord<ImageOs2Header>(m_source, neOffset);
    if (!header)
        return failAt("NE header", header.error());
    if (header->ne_rsrctab == header->ne_restab)
        return {}; // an empty resource table
    auto read = readTable(std::uint64_t(neOffset) + header->ne_rsrctab);
    if (!read)
        return failAt("NE resource table", read.error());
    std::stable_sort(m_icons.begin(), m_icons.end(),
                     [](const Resource& a, const Resource& b) { return a.rnID < b.rnID; });
    return {};
}

Result<void> NeResources::readTable(std::uint64_t tableAt) {
    auto held = heldPart(m_source, {tableAt, kMaxResourceTableBytes});
    if (!held)
        return tl::unexpected(held.error());
    auto bytes = m_source.read(held->offset, held->length);
    if (!bytes)
        return tl::unexpected(bytes.error());
    ByteReader table(*bytes);
    auto rscAlignShift = table.record<Le16>();
    if (!rscAlignShift)
        return fail(IconError::Malformed, "rscAlignShift is cut off by the end of the file");
    if (*rscAlignShift > kMaxAlignShift)
        return fail(IconError::TooLarge, "rscAlignShift " + std::to_string(*rscAlignShift) +
                                             " is more than " + std::to_string(kMaxAlignShift));
    // Each TYPEINFO moves the position forward by at least 8 bytes, inside a bounded table.
    bool seenGroups = false;
    bool seenIcons = false;
    for (std::uint64_t at = sizeof(Le16);;) {
        auto rtTypeID = table.record<Le16>(at);
        if (rtTypeID && *rtTypeID == 0)
            break;
        const std::string place = "TYPEINFO at " + std::to_string(at);
        auto type = table.record<TypeInfo>(at);
        if (!type)
            return fail(IconError::Malformed, place + " runs past the table's 64 kB or the file");
        auto names = table.sub(at + sizeof(TypeInfo), type->rtResourceCount * sizeof(NameInfo));
        if (!names)
            return fail(IconError::Malformed, place + ": its " +
                                                  std::to_string(type->rtResourceCount) +
                                                  " NAMEINFOs run past the table");
        std::vector<Resource>* list = nullptr;
        if (type->rtTypeID == kNeRtGroupIcon && !std::exchange(seenGroups, true))
            list = &m_groups;
        else if (type->rtTypeID == kNeRtIcon && !std::exchange(seenIcons, true))
            list = &m_icons;
        for (std::uint64_t i = 0; list && i < type->rtResourceCount; ++i)
            list->push_back(
                resource(table, *names->record<NameInfo>(i * sizeof(NameInfo)), *rscAlignShift));
        at += sizeof(TypeInfo) + names->size();
    }
    return {};
}

Result<Extent> NeResources::image(const IconDirEntry& entry) const {
    const auto rnID = static_cast<std::uint16_t>(entry.nId | NameInfo::kIntegerId);
    auto found = std::lower_bound(m_icons.begin(), m_icons.end(), rnID,
                                  [](const Resource& r, std::uint16_t id) { return r.rnID < id; });
    if (found == m_icons.end() || found->rnID != rnID)
        return fail(IconError::OutOfRange,
                    "image " + std::to_string(entry.nId) + ": no RT_ICON resource has this id");
    return found->extent;
}

} // namespace

FormatResult openNe(const Source& source, std::uint32_t neOffset) {
    auto reader = std::make_unique<NeResources>(source);
    if (auto opened = reader->open(neOffset); !opened)
        return tl::unexpected(opened.error());
    return reader;
}

} // namespace quorvane::icons
