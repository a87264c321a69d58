// The icon resources of a PE32 or PE32+ file: the headers lead to the resource directory, the
// section table maps its addresses to the file, and the tree below it (type, name, language)
// to the RT_GROUP_ICON and RT_ICON data.
#include "ByteReader.h"
#include "FormatReader.h"
#include "Records.h"
#include "TextCodes.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <queue>

namespace quorvane::icons {
namespace {

using namespace records;
using Entry = ImageResourceDirectoryEntry;
constexpr std::uint32_t kHighBit = Entry::kHighBit;

// A resource name longer than this many characters is cut, and ends in "…". Names in real files
// are identifiers of a few dozen characters.
constexpr std::uint32_t kMaxNameUnits = 256;

struct Section {
    std::uint32_t virtualAddress = 0;
    std::uint32_t rawSize = 0;
    std::uint32_t rawOffset = 0;
};

// A run of addresses that one section holds.
struct Span {
    std::uint64_t begin = 0;
    std::uint64_t end = 0;
    std::uint32_t section = 0;
};

// Where RVAs lie: runs of addresses that do not overlap, sorted, each with the section that
// holds it. Where sections overlap, the one first in the section table holds the addresses, as
// the platform's own lookup finds it. A sweep over the sections' start and end addresses:
// between two of them, of the sections that are open the first in the table holds the
// addresses. Once done, finding an RVA takes a binary search, however many sections there are.
std::vector<Span> mapSections(const std::vector<Section>& sections) {
    struct Edge {
        std::uint64_t at = 0;
        bool opens = false;
        std::uint32_t section = 0;
    };
    std::vector<Edge> edges;
    edges.reserve(2 * sections.size());
    for (std::uint32_t i = 0; i < sections.size(); ++i) {
        const Section& s = sections[i];
        if (s.rawSize == 0)
            continue;
        edges.push_back({s.virtualAddress, true, i});
        edges.push_back({std::uint64_t(s.virtualAddress) + s.rawSize, false, i});
    }
    std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.at < b.at; });
    std::priority_queue<std::uint32_t, std::vector<std::uint32_t>, std::greater<>> open;
    std::vector<bool> closed(sections.size(), false);
    std::vector<Span> spans;
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
        if (!spans.empty() && spans.back().end == at && spans.back().section == open.top())
            spans.back().end = edges[e].at;
        else
            spans.push_back({at, edges[e].at, open.top()});
    }
    return spans;
}

// One resource directory: where its entries start (from the resource root) and how many.
struct Directory {
    std::uint32_t entriesAt = 0;
    std::uint32_t count = 0;
};

class PeResources final : public FormatReader {
  public:
    explicit PeResources(const Source& source) : m_source(source) {}
    Result<void> open(std::uint32_t peOffset);

    FileKind kind() const override { return FileKind::Pe; }
    std::uint32_t groupCount() const override { return m_groups ? m_groups->count : 0; }
    Result<Extent> groupDirectory(std::uint32_t index) const override;
    Result<ResourceName> groupName(std::uint32_t index) const override;
    Result<Extent> image(const IconDirEntry& entry) const override;
    std::optional<Extent> muiConfiguration() const override;

  private:
    Result<void> readSections(std::uint64_t at, std::uint16_t count);
    Result<void> findIconDirectories();
    // The file offset of `length` bytes at `rva`: they must lie inside one section's raw data
    // and, when withinFile, inside the file.
    Result<std::uint64_t> rvaToOffset(std::uint64_t rva, std::uint64_t length,
                                      bool withinFile = true) const;
    // The record `rel` bytes into the resource section.
    template <typename Record> Result<Record> recordAt(std::uint64_t rel) const;
    Result<Directory> directory(std::uint32_t rel) const;
    Result<std::vector<Entry>> entries(const Directory& directory) const;
    // The RT_GROUP_ICON directory's entry of the group.
    Result<Entry> groupEntry(std::uint32_t index) const;
    // Whether the name string `rel` bytes into the resource section is "MUI".
    bool isMuiName(std::uint32_t rel) const;
    // The data of the first language under a name-level entry.
    Result<Extent> firstLanguage(std::uint32_t OffsetToData) const;
    // The RT_ICON entries sorted by id, the first in the directory first among equal ids; read
    // on the first image lookup.
    Result<const std::vector<Entry>*> iconIndex() const;

    const Source& m_source;
    std::vector<Section> m_sections;
    std::vector<Span> m_spans;
    std::uint32_t m_resourceRva = 0;
    std::optional<Directory> m_groups;
    std::optional<Directory> m_icons;
    // Not thread-safe: an IconFile serves one caller at a time.
    mutable std::optional<std::vector<Entry>> m_iconIndex;
    mutable std::uint64_t m_nameBytesRead = 0;
};

Result<void> PeResources::open(std::uint32_t peOffset) {
    const std::uint64_t fileHeaderAt = std::uint64_t(peOffset) + sizeof(kPeSignature);
    auto fileHeader = readRecord<ImageFileHeader>(m_source, fileHeaderAt);
    if (!fileHeader)
        return failAt("PE file header", fileHeader.error());
    const std::uint64_t optionalAt = fileHeaderAt + sizeof(ImageFileHeader);
    auto optional = m_source.read(optionalAt, fileHeader->SizeOfOptionalHeader);
    if (!optional)
        return failAt("PE optional header", optional.error());
    ByteReader header(*optional);
    auto magic = header.record<Le16>();
    std::optional<std::uint32_t> NumberOfRvaAndSizes;
    std::uint64_t directoriesAt = 0;
    if (magic && *magic == ImageOptionalHeader32::kMagic) {
        if (auto h = header.record<ImageOptionalHeader32>())
            NumberOfRvaAndSizes = h->NumberOfRvaAndSizes;
        directoriesAt = sizeof(ImageOptionalHeader32);
    } else if (magic && *magic == ImageOptionalHeader64::kMagic) {
        if (auto h = header.record<ImageOptionalHeader64>())
            NumberOfRvaAndSizes = h->NumberOfRvaAndSizes;
        directoriesAt = sizeof(ImageOptionalHeader64);
    } else {
        return fail(IconError::Malformed, "PE optional header: Magic is neither PE32 (0x10b) "
                                          "nor PE32+ (0x20b)");
    }
    auto resources = header.record<ImageDataDirectory>(
        directoriesAt + sizeof(ImageDataDirectory) * IMAGE_DIRECTORY_ENTRY_RESOURCE);
    if (!NumberOfRvaAndSizes || *NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_RESOURCE ||
        !resources || resources->VirtualAddress == 0)
        return {}; // no resource directory: no icons
    m_resourceRva = resources->VirtualAddress;
    if (auto sections = readSections(optionalAt + fileHeader->SizeOfOptionalHeader,
                                     fileHeader->NumberOfSections);
        !sections)
        return sections;
    return findIconDirectories();
}

Result<void> PeResources::readSections(std::uint64_t at, std::uint16_t count) {
    auto table = m_source.read(at, std::uint64_t(count) * sizeof(ImageSectionHeader));
    if (!table)
        return failAt("PE section table", table.error());
    ByteReader headers(*table);
    m_sections.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        auto s = *headers.record<ImageSectionHeader>(i * sizeof(ImageSectionHeader));
        m_sections.push_back({s.VirtualAddress, s.SizeOfRawData, s.PointerToRawData});
    }
    m_spans = mapSections(m_sections);
    return {};
}

Result<void> PeResources::findIconDirectories() {
    auto root = directory(0);
    if (!root)
        return failAt("resource root directory", root.error());
    auto types = entries(*root);
    if (!types)
        return failAt("resource root directory", types.error());
    for (const Entry& type : *types) {
        if ((type.Name & kHighBit) || !(type.OffsetToData & kHighBit))
            continue; // named types are never icons; a type must lead to a directory
        std::optional<Directory>* slot = nullptr;
        if (type.Name == RT_GROUP_ICON)
            slot = &m_groups;
        else if (type.Name == RT_ICON)
            slot = &m_icons;
        if (!slot || *slot)
            continue;
        auto level = directory(type.OffsetToData & ~kHighBit);
        if (!level)
            return failAt(type.Name == RT_ICON ? "RT_ICON directory" : "RT_GROUP_ICON directory",
                          level.error());
        *slot = *level;
    }
    return {};
}

Result<std::uint64_t> PeResources::rvaToOffset(std::uint64_t rva, std::uint64_t length,
                                               bool withinFile) const {
    auto what = [&] { return std::to_string(length) + " bytes at RVA " + hex(rva); };
    auto span = std::upper_bound(m_spans.begin(), m_spans.end(), rva,
                                 [](std::uint64_t a, const Span& s) { return a < s.begin; });
    if (span == m_spans.begin() || rva >= std::prev(span)->end)
        return fail(IconError::Malformed, what() + " lie in no section");
    const Section& s = m_sections[std::prev(span)->section];
    const std::uint64_t into = rva - s.virtualAddress;
    if (length > s.rawSize - into)
        return fail(IconError::Malformed, what() + " run past the end of section " +
                                              std::to_string(std::prev(span)->section + 1));
    const std::uint64_t offset = std::uint64_t(s.rawOffset) + into;
    if (withinFile && (offset > m_source.size() || length > m_source.size() - offset))
        return fail(IconError::Malformed, what() + " (offset " + std::to_string(offset) +
                                              ") run past the end of the file (size " +
                                              std::to_string(m_source.size()) + ")");
    return offset;
}

template <typename Record> Result<Record> PeResources::recordAt(std::uint64_t rel) const {
    auto offset = rvaToOffset(m_resourceRva + rel, sizeof(Record));
    if (!offset)
        return tl::unexpected(offset.error());
    return readRecord<Record>(m_source, *offset);
}

// The whole entry array must be there for the count to be believed.
Result<Directory> PeResources::directory(std::uint32_t rel) const {
    auto header = recordAt<ImageResourceDirectory>(rel);
    if (!header)
        return tl::unexpected(header.error());
    const Directory found{rel + std::uint32_t{sizeof(ImageResourceDirectory)},
                          std::uint32_t{header->NumberOfNamedEntries} + header->NumberOfIdEntries};
    // An empty directory may end its section.
    if (found.count > 0)
        if (auto whole = rvaToOffset(std::uint64_t(m_resourceRva) + found.entriesAt,
                                     std::uint64_t(found.count) * sizeof(Entry));
            !whole)
            return tl::unexpected(whole.error());
    return found;
}

Result<std::vector<Entry>> PeResources::entries(const Directory& directory) const {
    std::vector<Entry> entries(directory.count);
    if (directory.count == 0)
        return entries;
    auto offset = rvaToOffset(std::uint64_t(m_resourceRva) + directory.entriesAt,
                              std::uint64_t(directory.count) * sizeof(Entry));
    if (!offset)
        return tl::unexpected(offset.error());
    auto read = m_source.readExactly(*offset, std::as_writable_bytes(std::span(entries)));
    if (!read)
        return tl::unexpected(read.error());
    return entries;
}

// The tree is walked at fixed depth, so a directory that points back at itself cannot make
// the walk loop.
Result<Extent> PeResources::firstLanguage(std::uint32_t OffsetToData) const {
    if (!(OffsetToData & kHighBit))
        return fail(IconError::Malformed, "the name entry leads to data, not to a language "
                                          "directory");
    auto languages = directory(OffsetToData & ~kHighBit);
    if (!languages)
        return failAt("language directory", languages.error());
    if (languages->count == 0)
        return fail(IconError::Malformed, "the language directory is empty");
    auto first = recordAt<Entry>(languages->entriesAt);
    if (!first)
        return failAt("language directory", first.error());
    if (first->OffsetToData & kHighBit)
        return fail(IconError::Malformed, "the language entry leads to a fourth directory level");
    auto data = recordAt<ImageResourceDataEntry>(first->OffsetToData);
    if (!data)
        return failAt("data entry", data.error());
    // The data must lie inside its section; where the section runs past the end of the file,
    // the data is cut there.
    auto offset = rvaToOffset(data->OffsetToData, data->Size, false);
    if (!offset)
        return failAt("data", offset.error());
    return Extent{*offset, data->Size};
}

Result<Entry> PeResources::groupEntry(std::uint32_t index) const {
    auto entry = recordAt<Entry>(m_groups->entriesAt + std::uint64_t(index) * sizeof(Entry));
    if (!entry)
        return failAt("RT_GROUP_ICON directory", entry.error());
    return entry;
}

Result<Extent> PeResources::groupDirectory(std::uint32_t index) const {
    auto entry = groupEntry(index);
    if (!entry)
        return tl::unexpected(entry.error());
    return firstLanguage(entry->OffsetToData);
}

Result<ResourceName> PeResources::groupName(std::uint32_t index) const {
    auto entry = groupEntry(index);
    if (!entry)
        return tl::unexpected(entry.error());
    ResourceName name;
    if (!(entry->Name & kHighBit)) {
        name.id = static_cast<std::uint16_t>(entry->Name);
        return name;
    }
    const std::uint64_t at = entry->Name & ~kHighBit;
    auto length = recordAt<ImageResourceDirStringU>(at);
    if (!length)
        return failAt("name", length.error());
    const std::uint64_t units = std::min<std::uint64_t>(length->Length, kMaxNameUnits);
    // Every group may name the same string: what names cost adds up to at most the file's size.
    m_nameBytesRead += sizeof(ImageResourceDirStringU) + units * 2;
    if (m_nameBytesRead > m_source.size())
        return fail(IconError::TooLarge, "the names read add up past the file's size (" +
                                             std::to_string(m_source.size()) + " bytes)");
    auto chars = rvaToOffset(m_resourceRva + at + sizeof(ImageResourceDirStringU), units * 2);
    if (!chars)
        return failAt("name", chars.error());
    auto bytes = m_source.read(*chars, units * 2);
    if (!bytes)
        return failAt("name", bytes.error());
    name.isId = false;
    name.name = utf16ToUtf8(*bytes);
    if (units < length->Length)
        name.name += "\u2026";
    return name;
}

Result<const std::vector<Entry>*> PeResources::iconIndex() const {
    if (m_iconIndex)
        return &*m_iconIndex;
    Result<std::vector<Entry>> index = std::vector<Entry>{};
    if (m_icons)
        index = entries(*m_icons);
    if (!index)
        return failAt("RT_ICON directory", index.error());
    // Stable, so that of two entries with one id the first in the file is found, as a walk
    // through the directory would find it.
    std::stable_sort(index->begin(), index->end(),
                     [](const Entry& a, const Entry& b) { return a.Name < b.Name; });
    m_iconIndex = std::move(*index);
    return &*m_iconIndex;
}

Result<Extent> PeResources::image(const IconDirEntry& entry) const {
    auto index = iconIndex();
    if (!index)
        return tl::unexpected(index.error());
    auto found = std::lower_bound((*index)->begin(), (*index)->end(), entry.nId,
                                  [](const Entry& e, std::uint32_t id) { return e.Name < id; });
    auto image = [&] { return "image " + std::to_string(entry.nId); };
    if (found == (*index)->end() || found->Name != entry.nId)
        return fail(IconError::OutOfRange, image() + ": no RT_ICON resource has this id");
    auto extent = firstLanguage(found->OffsetToData);
    if (!extent)
        return failAt(image(), extent.error());
    return extent;
}

bool PeResources::isMuiName(std::uint32_t rel) const {
    auto length = recordAt<ImageResourceDirStringU>(rel);
    if (!length || length->Length != 3)
        return false;
    auto chars =
        rvaToOffset(std::uint64_t(m_resourceRva) + rel + sizeof(ImageResourceDirStringU), 6);
    auto name = chars ? m_source.read(*chars, 6) : tl::unexpected(chars.error());
    return name && utf16ToUtf8(*name) == "MUI";
}

// Looked for only when asked: most files have no such type, and a file whose icons lie in its
// own resources never needs it.
std::optional<Extent> PeResources::muiConfiguration() const {
    auto root = directory(0);
    auto types = root ? entries(*root) : tl::unexpected(root.error());
    if (!types)
        return std::nullopt;
    auto mui = std::find_if(types->begin(), types->end(), [this](const Entry& type) {
        return (type.Name & kHighBit) && (type.OffsetToData & kHighBit) &&
               isMuiName(type.Name & ~kHighBit);
    });
    if (mui == types->end())
        return std::nullopt;
    auto names = directory(mui->OffsetToData & ~kHighBit);
    auto found = names ? entries(*names) : tl::unexpected(names.error());
    if (!found)
        return std::nullopt;
    auto first =
        std::find_if(found->begin(), found->end(), [](const Entry& e) { return e.Name == 1; });
    if (first == found->end())
        return std::nullopt;
    auto data = firstLanguage(first->OffsetToData);
    return data ? std::optional(*data) : std::nullopt;
}

} // namespace

FormatResult openPe(const Source& source, std::uint32_t peOffset) {
    auto reader = std::make_unique<PeResources>(source);
    if (auto opened = reader->open(peOffset); !opened)
        return tl::unexpected(opened.error());
    return reader;
}

} // namespace quorvane::icons
