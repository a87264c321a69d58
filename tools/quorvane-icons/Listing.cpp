// The listing of a file's icon groups, in text and in JSON, over the reader's walk.
#include "Listing.h"

#include <functional>
#include <unordered_map>

#include <algorithm>
#include <array>
#include <cstdio>

namespace quorvane::tool {
namespace {

using namespace quorvane::icons;

// Characters that a terminal would act on or that reorder what it shows: they are escaped.
bool unsafe(std::uint32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
           (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

// The UTF-8 sequence at the start of `text`: its length and value, or length 0 when the bytes
// there are not one.
struct Decoded {
    std::size_t length = 0;
    std::uint32_t value = 0;
};

Decoded decodeUtf8(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    if (lead < 0x80)
        return {1, lead};
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (length == 0 || lead >= 0xF5 || text.size() < length)
        return {};
    std::uint32_t value = lead & (0x7Fu >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[k]);
        if ((next & 0xC0) != 0x80)
            return {};
        value = (value << 6) | (next & 0x3Fu);
    }
    // The shortest form only, and no surrogates.
    const std::array<std::uint32_t, 5> least = {0, 0, 0x80, 0x800, 0x10000};
    if (value < least[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return {};
    return {length, value};
}

enum class Use { Quoted, FileName };

std::string rewrite(std::string_view text, Use use) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const Decoded c = decodeUtf8(text);
        const std::size_t length = std::max<std::size_t>(c.length, 1);
        if (c.length == 0 || unsafe(c.value) || (use == Use::FileName && c.value == '/')) {
            std::array<char, 8> code = {'_'};
            if (use == Use::Quoted)
                std::snprintf(code.data(), code.size(), "\\u%04X",
                              static_cast<unsigned>(c.length == 0 ? 0xFFFD : c.value));
            out += code.data();
        } else if (use == Use::Quoted && (c.value == '"' || c.value == '\\')) {
            out += '\\';
            out += static_cast<char>(c.value);
        } else {
            out += text.substr(0, length);
        }
        text.remove_prefix(length);
    }
    return out;
}

std::string quoted(std::string_view text) {
    return '"' + escaped(text) + '"';
}

const char* formatName(ImageFormat format) {
    return format == ImageFormat::Png ? "PNG" : "DIB";
}

std::string nameText(const ResourceName& name) {
    return name.isId ? std::to_string(name.id) : quoted(name.name);
}

// One group as `list` walks it: its name and directory, or why they cannot be read, and the
// facts of each of its images in directory order.
struct GroupListing {
    std::uint32_t index = 0;
    ResourceName name;
    Result<IconGroup> group;
    std::vector<Result<ImageFacts>> images;
};

// Every group in order. The images described in one walk are bounded by the file's size, one
// 14-byte directory entry each, so that groups sharing their directories cannot multiply the
// work; a group past that bound comes as TooLarge. Each image id is read once: within one file
// an id names one image (an .ico file's entries have no ids: each is read).
void walkGroups(const IconFile& file, const std::function<void(const GroupListing&)>& visit) {
    std::unordered_map<std::uint16_t, Result<ImageFacts>> known;
    std::uint64_t images = 0;
    const std::uint64_t maxImages = file.source().size() / 14;
    for (std::uint32_t i = 0; i < file.groupCount(); ++i) {
        GroupListing listing{i, {}, IconGroup{}, {}};
        auto name = images <= maxImages
                        ? file.groupName(i)
                        : fail(IconError::TooLarge,
                               "group " + std::to_string(i) +
                                   ": the images listed add up past one for every 14 bytes of "
                                   "the file");
        listing.group = name ? file.group(i) : tl::unexpected(name.error());
        if (name)
            listing.name = std::move(*name);
        if (listing.group)
            images += listing.group->entries.size();
        for (std::size_t k = 0; listing.group && k < listing.group->entries.size(); ++k) {
            const IconDirEntry& entry = listing.group->entries[k];
            auto found = known.find(entry.nId);
            if (file.kind() == FileKind::Ico || found == known.end())
                found = known.insert_or_assign(entry.nId, file.imageFacts(entry)).first;
            listing.images.push_back(found->second);
        }
        visit(listing);
    }
}

// The error as JSON: its kind and its message.
std::string jsonError(const Error& error) {
    return std::string("{\"kind\": \"") + kindName(error.kind) +
           "\", \"message\": " + quoted(error.message) + "}";
}

void writeLines(std::ostream& out, const IconFile& file) {
    walkGroups(file, [&out](const GroupListing& listing) {
        out << listing.index << ' ';
        if (!listing.group) {
            out << "? (" << escaped(listing.group.error().message) << ")\n";
            return;
        }
        out << nameText(listing.name);
        for (std::size_t k = 0; k < listing.images.size(); ++k) {
            const IconDirEntry& entry = listing.group->entries[k];
            const Result<ImageFacts>& facts = listing.images[k];
            out << (k == 0 ? " " : ", ") << entry.width() << 'x' << entry.height() << ' ';
            if (facts)
                out << facts->bitCount << "bpp " << formatName(facts->format) << ' '
                    << facts->length << " bytes";
            else
                out << entry.wBitCount << "bpp missing (" << escaped(facts.error().message) << ')';
        }
        out << '\n';
    });
}

void writeJson(std::ostream& out, const std::string& path, const std::string& source,
               const IconFile* file) {
    static constexpr std::array<const char*, 3> kKinds = {"PE", "NE", "ICO"};
    out << "{\"file\": " << quoted(path) << ", \"source\": " << quoted(source) << ", \"kind\": ";
    if (file)
        out << quoted(kKinds[static_cast<std::size_t>(file->kind())]);
    else
        out << "null";
    out << ", \"icons\": [";
    const char* separator = "";
    if (file) {
        walkGroups(*file, [&](const GroupListing& listing) {
            out << separator << "\n  {\"index\": " << listing.index;
            separator = ",";
            if (!listing.group) {
                out << ", \"error\": " << jsonError(listing.group.error()) << '}';
                return;
            }
            if (listing.name.isId)
                out << ", \"id\": " << listing.name.id;
            else
                out << ", \"name\": " << quoted(listing.name.name);
            out << ", \"images\": [";
            for (std::size_t k = 0; k < listing.images.size(); ++k) {
                const IconDirEntry& entry = listing.group->entries[k];
                const Result<ImageFacts>& facts = listing.images[k];
                out << (k == 0 ? "" : ", ") << "{\"width\": " << entry.width()
                    << ", \"height\": " << entry.height();
                if (facts)
                    out << ", \"bits\": " << facts->bitCount << ", \"format\": \""
                        << formatName(facts->format) << "\", \"bytes\": " << facts->length << '}';
                else
                    out << ", \"bits\": " << entry.wBitCount
                        << ", \"error\": " << jsonError(facts.error()) << '}';
            }
            out << "]}";
        });
    }
    out << (*separator ? "\n" : "") << "]}\n";
}

} // namespace

std::string escaped(std::string_view text) {
    return rewrite(text, Use::Quoted);
}

std::string fileNameSafe(std::string_view text) {
    return rewrite(text, Use::FileName);
}

void writeListing(std::ostream& out, const std::string& path, const std::string& source,
                  const IconFile* file, bool json) {
    if (json)
        return writeJson(out, path, source, file);
    if (source != path)
        out << "icons from " << quoted(source) << '\n';
    if (file)
        writeLines(out, *file);
}

} // namespace quorvane::tool
