// The listing of a file's icon groups, in text and in JSON, over the reader's walk.
#include "Listing.h"

#include "quorvane/icons/GroupFacts.h"

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

void writeLines(std::ostream& out, const IconFile& file) {
    walkGroups(file, [&out](const GroupListing& listing) {
        out << listing.index << ' ';
        if (!listing.group) {
            out << "? (" << describe(listing.group.error()) << ")\n";
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
                out << entry.wBitCount << "bpp missing (" << describe(facts.error()) << ')';
        }
        out << '\n';
    });
}

void writeJson(std::ostream& out, const std::string& path, const IconFile* file) {
    static constexpr std::array<const char*, 3> kKinds = {"PE", "NE", "ICO"};
    out << "{\"file\": " << quoted(path) << ", \"kind\": ";
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
                out << ", \"error\": " << quoted(describe(listing.group.error())) << '}';
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
                        << ", \"error\": " << quoted(describe(facts.error())) << '}';
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

void writeListing(std::ostream& out, const std::string& path, const IconFile* file, bool json) {
    if (json)
        writeJson(out, path, file);
    else if (file)
        writeLines(out, *file);
}

} // namespace quorvane::tool
