// Byte builders for small DIB, PNG, ICO, PE and NE files.
#include "IconBuilders.h"

#include "IconExport.h"

#include <algorithm>
#include <map>
#include <stdexcept>

namespace quorvane::testing {

void putU16(Bytes& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void putU32(Bytes& out, std::uint32_t value) {
    putU16(out, static_cast<std::uint16_t>(value));
    putU16(out, static_cast<std::uint16_t>(value >> 16));
}

void setU16(Bytes& out, std::size_t at, std::uint16_t value) {
    out.at(at) = static_cast<std::uint8_t>(value);
    out.at(at + 1) = static_cast<std::uint8_t>(value >> 8);
}

void setU32(Bytes& out, std::size_t at, std::uint32_t value) {
    setU16(out, at, static_cast<std::uint16_t>(value));
    setU16(out, at + 2, static_cast<std::uint16_t>(value >> 16));
}

icons::IconBitmap makePicture(int width, int height, std::vector<std::uint32_t> pixels,
                              std::vector<std::uint8_t> mask) {
    const bool alpha = std::any_of(pixels.begin(), pixels.end(),
                                   [](std::uint32_t p) { return (p >> 24) != 0xFF; });
    auto picture =
        icons::IconBitmap::fromPixels(width, height, std::move(pixels), std::move(mask), alpha);
    if (!picture)
        throw std::invalid_argument("makePicture: the pixels do not match the size");
    return std::move(*picture);
}

Bytes makeDib(const icons::IconBitmap& picture, const DibOptions& o) {
    const int w = picture.width();
    const int h = picture.height();
    std::vector<std::uint32_t> palette;
    if (o.bitCount <= 8) {
        for (std::uint32_t p : picture.pixels()) {
            std::uint32_t rgb = p & 0xFFFFFF;
            if (std::find(palette.begin(), palette.end(), rgb) == palette.end())
                palette.push_back(rgb);
        }
        if (palette.size() > (1u << o.bitCount))
            throw std::invalid_argument("too many colours for the depth");
        palette.resize(1u << o.bitCount, 0);
    }
    Bytes out;
    // Header: BITMAPCOREHEADER or BITMAPINFOHEADER (+ V4/V5 fields left zero but the masks).
    putU32(out, o.headerSize);
    if (o.headerSize == 12) {
        putU16(out, static_cast<std::uint16_t>(w));     // bcWidth
        putU16(out, static_cast<std::uint16_t>(2 * h)); // bcHeight: colour image + mask
        putU16(out, 1);                                 // bcPlanes
        putU16(out, static_cast<std::uint16_t>(o.bitCount));
    } else {
        putU32(out, static_cast<std::uint32_t>(w));     // biWidth
        putU32(out, static_cast<std::uint32_t>(2 * h)); // biHeight
        putU16(out, 1);                                 // biPlanes
        putU16(out, static_cast<std::uint16_t>(o.bitCount));
        putU32(out, o.bitfields ? 3 : 0); // biCompression
        putU32(out, 0);                   // biSizeImage
        putU32(out, 0);                   // biXPelsPerMeter
        putU32(out, 0);                   // biYPelsPerMeter
        putU32(out, 0);                   // biClrUsed: 0 means 2^bpp for indexed depths
        putU32(out, 0);                   // biClrImportant
        std::vector<std::uint32_t> masks = o.bitCount == 16
                                               ? std::vector<std::uint32_t>{0xF800, 0x07E0, 0x001F}
                                               : std::vector<std::uint32_t>{0xFF0000, 0xFF00, 0xFF};
        if (o.headerSize > 40) {
            for (std::uint32_t m : masks)
                putU32(out, o.bitfields ? m : 0);
            out.resize(o.headerSize, 0);
        } else if (o.bitfields) {
            for (std::uint32_t m : masks)
                putU32(out, m);
        }
    }
    for (std::uint32_t rgb : palette) {
        out.push_back(static_cast<std::uint8_t>(rgb));
        out.push_back(static_cast<std::uint8_t>(rgb >> 8));
        out.push_back(static_cast<std::uint8_t>(rgb >> 16));
        if (o.headerSize != 12)
            out.push_back(0);
    }
    const std::size_t xorStride = ((std::size_t(w) * o.bitCount + 31) / 32) * 4;
    for (int row = h - 1; row >= 0; --row) {
        Bytes line(xorStride, 0);
        for (int x = 0; x < w; ++x) {
            std::uint32_t p = picture.pixels()[std::size_t(row) * w + x];
            std::uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
            std::size_t index = 0;
            if (o.bitCount <= 8)
                index = std::size_t(std::find(palette.begin(), palette.end(), p & 0xFFFFFF) -
                                    palette.begin());
            switch (o.bitCount) {
            case 1:
                line[x / 8] |= static_cast<std::uint8_t>(index << (7 - x % 8));
                break;
            case 4:
                line[x / 2] |= static_cast<std::uint8_t>(index << (x % 2 ? 0 : 4));
                break;
            case 8:
                line[x] = static_cast<std::uint8_t>(index);
                break;
            case 16: {
                std::uint32_t v = o.bitfields ? ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3)
                                              : ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
                line[2 * x] = static_cast<std::uint8_t>(v);
                line[2 * x + 1] = static_cast<std::uint8_t>(v >> 8);
                break;
            }
            case 24:
                line[3 * x] = static_cast<std::uint8_t>(b);
                line[3 * x + 1] = static_cast<std::uint8_t>(g);
                line[3 * x + 2] = static_cast<std::uint8_t>(r);
                break;
            case 32:
                line[4 * x] = static_cast<std::uint8_t>(b);
                line[4 * x + 1] = static_cast<std::uint8_t>(g);
                line[4 * x + 2] = static_cast<std::uint8_t>(r);
                line[4 * x + 3] = o.writeAlpha ? static_cast<std::uint8_t>(p >> 24) : 0;
                break;
            }
        }
        out.insert(out.end(), line.begin(), line.end());
    }
    if (o.withMask) {
        const std::size_t andStride = ((std::size_t(w) + 31) / 32) * 4;
        for (int row = h - 1; row >= 0; --row) {
            Bytes line(andStride, 0);
            for (int x = 0; x < w; ++x)
                if (picture.mask()[std::size_t(row) * w + x])
                    line[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
            out.insert(out.end(), line.begin(), line.end());
        }
    }
    return out;
}

Bytes makePng(const icons::IconBitmap& picture) {
    return *icons::encodePng(picture, icons::PngKind::Rgba);
}

namespace {

void putEntryFields(Bytes& out, const ImageSpec& image) {
    out.push_back(static_cast<std::uint8_t>(image.width & 0xFF));  // bWidth: 256 is stored as 0
    out.push_back(static_cast<std::uint8_t>(image.height & 0xFF)); // bHeight
    out.push_back(
        static_cast<std::uint8_t>(image.bitCount < 8 ? 1u << image.bitCount : 0)); // bColorCount
    out.push_back(0);                                                              // bReserved
    putU16(out, 1);                                                                // wPlanes
    putU16(out, static_cast<std::uint16_t>(image.bitCount));                       // wBitCount
    putU32(out, static_cast<std::uint32_t>(image.data.size()));                    // dwBytesInRes
}

} // namespace

Bytes makeGroupDirectory(const std::vector<ImageSpec>& images) {
    Bytes out;
    putU16(out, 0); // idReserved
    putU16(out, 1); // idType: icon
    putU16(out, static_cast<std::uint16_t>(images.size()));
    for (const ImageSpec& image : images) {
        putEntryFields(out, image);
        putU16(out, image.id); // nId
    }
    return out;
}

Bytes makeIco(const std::vector<ImageSpec>& images, std::uint16_t type) {
    std::vector<icons::IconDirEntry> entries;
    std::vector<std::uint64_t> lengths;
    for (const ImageSpec& image : images) {
        entries.push_back({static_cast<std::uint8_t>(image.width & 0xFF),
                           static_cast<std::uint8_t>(image.height & 0xFF),
                           static_cast<std::uint8_t>(image.bitCount < 8 ? 1u << image.bitCount : 0),
                           0, 1, static_cast<std::uint16_t>(image.bitCount)});
        lengths.push_back(image.data.size());
    }
    Bytes out = icons::icoDirectory(entries, lengths, type);
    for (const ImageSpec& image : images)
        out.insert(out.end(), image.data.begin(), image.data.end());
    return out;
}

std::vector<ResourceSpec> iconGroupResources(const ResourceId& groupName,
                                             const std::vector<ImageSpec>& images,
                                             std::uint16_t language) {
    std::vector<ResourceSpec> out;
    out.push_back({std::uint16_t(14), groupName, language, makeGroupDirectory(images)});
    for (const ImageSpec& image : images)
        out.push_back({std::uint16_t(3), image.id, language, image.data});
    return out;
}

namespace {

// Named entries sort before ids; names by text, ids by value.
bool idLess(const ResourceId& a, const ResourceId& b) {
    if (a.index() != b.index())
        return a.index() == 1;
    return a < b;
}

struct IdOrder {
    bool operator()(const ResourceId& a, const ResourceId& b) const { return idLess(a, b); }
};

} // namespace

Bytes makePe(const std::vector<ResourceSpec>& resources, bool pe32plus) {
    constexpr std::uint32_t kSectionRva = 0x1000;
    constexpr std::uint32_t kSectionFileOffset = 0x200;
    using Languages = std::map<std::uint16_t, const Bytes*>;
    using Names = std::map<ResourceId, Languages, IdOrder>;
    std::map<ResourceId, Names, IdOrder> tree;
    for (const ResourceSpec& r : resources)
        tree[r.type][r.name][r.language] = &r.data;

    // Layout: all directories, then data entries, then name strings, then the data.
    std::uint32_t size = 16 + 8 * static_cast<std::uint32_t>(tree.size());
    std::size_t dataEntries = 0;
    for (auto& [type, names] : tree) {
        size += 16 + 8 * static_cast<std::uint32_t>(names.size());
        for (auto& [name, languages] : names) {
            size += 16 + 8 * static_cast<std::uint32_t>(languages.size());
            dataEntries += languages.size();
        }
    }
    std::uint32_t dataEntryAt = size;
    std::uint32_t stringsAt = dataEntryAt + 16 * static_cast<std::uint32_t>(dataEntries);
    Bytes section(stringsAt, 0);
    std::map<std::string, std::uint32_t> stringOffsets;
    auto nameField = [&](const ResourceId& id) -> std::uint32_t {
        if (id.index() == 0)
            return std::get<0>(id);
        const std::string& text = std::get<1>(id);
        auto found = stringOffsets.find(text);
        if (found != stringOffsets.end())
            return 0x80000000u | found->second;
        std::uint32_t at = static_cast<std::uint32_t>(section.size());
        putU16(section, static_cast<std::uint16_t>(text.size()));
        for (char c : text)
            putU16(section, static_cast<std::uint8_t>(c));
        stringOffsets[text] = at;
        return 0x80000000u | at;
    };
    std::uint32_t nextDirectory = 0;
    auto writeDirectoryHeader = [&](std::uint32_t at, std::size_t named, std::size_t ids) {
        setU16(section, at + 12, static_cast<std::uint16_t>(named)); // NumberOfNamedEntries
        setU16(section, at + 14, static_cast<std::uint16_t>(ids));   // NumberOfIdEntries
    };
    auto countNamed = [](const auto& map) {
        return static_cast<std::size_t>(std::count_if(
            map.begin(), map.end(), [](const auto& kv) { return kv.first.index() == 1; }));
    };
    std::vector<std::pair<std::uint32_t, const Bytes*>> dataFixups;
    std::uint32_t root = nextDirectory;
    nextDirectory += 16 + 8 * static_cast<std::uint32_t>(tree.size());
    writeDirectoryHeader(root, countNamed(tree), tree.size() - countNamed(tree));
    std::uint32_t typeSlot = root + 16;
    std::uint32_t nextDataEntry = dataEntryAt;
    for (auto& [type, names] : tree) {
        std::uint32_t typeDir = nextDirectory;
        nextDirectory += 16 + 8 * static_cast<std::uint32_t>(names.size());
        setU32(section, typeSlot, nameField(type));
        setU32(section, typeSlot + 4, 0x80000000u | typeDir);
        typeSlot += 8;
        writeDirectoryHeader(typeDir, countNamed(names), names.size() - countNamed(names));
        std::uint32_t nameSlot = typeDir + 16;
        for (auto& [name, languages] : names) {
            std::uint32_t nameDir = nextDirectory;
            nextDirectory += 16 + 8 * static_cast<std::uint32_t>(languages.size());
            setU32(section, nameSlot, nameField(name));
            setU32(section, nameSlot + 4, 0x80000000u | nameDir);
            nameSlot += 8;
            writeDirectoryHeader(nameDir, 0, languages.size());
            std::uint32_t languageSlot = nameDir + 16;
            for (auto& [language, data] : languages) {
                setU32(section, languageSlot, language);
                setU32(section, languageSlot + 4, nextDataEntry);
                languageSlot += 8;
                dataFixups.emplace_back(nextDataEntry, data);
                nextDataEntry += 16;
            }
        }
    }
    for (auto& [entryAt, data] : dataFixups) {
        while (section.size() % 4)
            section.push_back(0);
        setU32(section, entryAt,
               kSectionRva + static_cast<std::uint32_t>(section.size()));       // OffsetToData
        setU32(section, entryAt + 4, static_cast<std::uint32_t>(data->size())); // Size
        section.insert(section.end(), data->begin(), data->end());
    }

    Bytes out(kSectionFileOffset, 0);
    out[0] = 'M';
    out[1] = 'Z';
    setU32(out, 0x3C, 0x40); // e_lfanew
    std::size_t at = 0x40;
    setU32(out, at, 0x00004550); // "PE\0\0"
    const std::uint16_t optionalSize = pe32plus ? 240 : 224;
    setU16(out, at + 4, pe32plus ? 0x8664 : 0x14C); // Machine
    setU16(out, at + 6, 1);                         // NumberOfSections
    setU16(out, at + 20, optionalSize);             // SizeOfOptionalHeader
    setU16(out, at + 22, 0x2102);                   // Characteristics: DLL, executable
    std::size_t optional = at + 24;
    setU16(out, optional, pe32plus ? 0x20B : 0x10B); // Magic
    std::size_t count = optional + (pe32plus ? 108 : 92);
    setU32(out, count, 16);                      // NumberOfRvaAndSizes
    setU32(out, count + 4 + 2 * 8, kSectionRva); // resource directory RVA
    setU32(out, count + 4 + 2 * 8 + 4, static_cast<std::uint32_t>(section.size()));
    std::size_t header = optional + optionalSize;
    const char name[8] = {'.', 'r', 's', 'r', 'c', 0, 0, 0};
    std::copy(name, name + 8, out.begin() + static_cast<std::ptrdiff_t>(header));
    setU32(out, header + 8, static_cast<std::uint32_t>(section.size()));  // VirtualSize
    setU32(out, header + 12, kSectionRva);                                // VirtualAddress
    setU32(out, header + 16, static_cast<std::uint32_t>(section.size())); // SizeOfRawData
    setU32(out, header + 20, kSectionFileOffset);                         // PointerToRawData
    out.insert(out.end(), section.begin(), section.end());
    return out;
}

Bytes makeNe(const std::vector<NeResourceSpec>& resources, std::uint16_t alignShift) {
    constexpr std::size_t kNeAt = 0x40;
    constexpr std::size_t kNeHeaderSize = 0x40;
    std::map<std::uint16_t, std::vector<const NeResourceSpec*>> byType;
    for (const NeResourceSpec& r : resources)
        byType[r.type].push_back(&r);
    std::size_t tableSize = 2 + 2; // rscAlignShift ... terminating rtTypeID 0
    for (auto& [type, list] : byType)
        tableSize += 8 + 12 * list.size();
    const std::uint16_t rsrctab = static_cast<std::uint16_t>(kNeHeaderSize);
    const std::uint16_t restab = static_cast<std::uint16_t>(rsrctab + tableSize);

    Bytes out(kNeAt + kNeHeaderSize, 0);
    out[0] = 'M';
    out[1] = 'Z';
    setU32(out, 0x3C, kNeAt);
    out[kNeAt] = 'N';
    out[kNeAt + 1] = 'E';
    setU16(out, kNeAt + 0x24, rsrctab); // ne_rsrctab, from the NE header
    setU16(out, kNeAt + 0x26, restab);  // ne_restab
    std::size_t tableAt = out.size();
    out.resize(tableAt + tableSize, 0);
    out.push_back(0); // an empty resident name table
    const std::size_t unit = std::size_t(1) << alignShift;
    setU16(out, tableAt, alignShift);
    std::size_t pos = tableAt + 2;
    std::vector<std::pair<std::size_t, const Bytes*>> fixups;
    for (auto& [type, list] : byType) {
        setU16(out, pos, type);                                        // rtTypeID
        setU16(out, pos + 2, static_cast<std::uint16_t>(list.size())); // rtResourceCount
        pos += 8;
        for (const NeResourceSpec* r : list) {
            setU16(out, pos + 6, static_cast<std::uint16_t>(0x8000 | r->id)); // rnID
            fixups.emplace_back(pos, &r->data);
            pos += 12;
        }
    }
    for (auto& [entryAt, data] : fixups) {
        out.resize((out.size() + unit - 1) / unit * unit, 0);
        setU16(out, entryAt, static_cast<std::uint16_t>(out.size() / unit)); // rnOffset
        setU16(out, entryAt + 2,
               static_cast<std::uint16_t>((data->size() + unit - 1) / unit)); // rnLength
        out.insert(out.end(), data->begin(), data->end());
    }
    out.resize((out.size() + unit - 1) / unit * unit, 0);
    return out;
}

} // namespace quorvane::testing
