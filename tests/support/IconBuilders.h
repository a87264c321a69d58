// Byte builders for small DIB, PNG, ICO, PE and NE files, for tests and fuzzing.
#pragma once

#include "IconImage.h"

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace quorvane::testing {

using Bytes = std::vector<std::uint8_t>;

void putU16(Bytes& out, std::uint16_t value);
void putU32(Bytes& out, std::uint32_t value);
void setU16(Bytes& out, std::size_t at, std::uint16_t value);
void setU32(Bytes& out, std::size_t at, std::uint32_t value);

// A picture to encode: pixels 0xAARRGGBB top-down, mask 1 where the screen shows through.
icons::IconBitmap makePicture(int width, int height, std::vector<std::uint32_t> pixels,
                              std::vector<std::uint8_t> mask = {});

struct DibOptions {
    int bitCount = 32;
    std::uint32_t headerSize = 40; // 12 (BITMAPCOREHEADER), 40, 108 or 124
    bool bitfields = false;        // BI_BITFIELDS with 5-6-5 (16 bpp) or 8-8-8 (32 bpp) masks
    bool writeAlpha = true;        // 32 bpp: store the alpha bytes, or zeros
    bool withMask = true;          // append the AND mask
};

// An icon DIB: header, colour table built from the picture's colours (indexed depths), XOR
// rows bottom-up and the AND mask. Throws when the picture has more colours than the depth.
Bytes makeDib(const icons::IconBitmap& picture, const DibOptions& options = {});
Bytes makePng(const icons::IconBitmap& picture);

struct ImageSpec {
    int width = 32; // as written in the directory entry (256 is stored as 0)
    int height = 32;
    int bitCount = 32;
    std::uint16_t id = 1; // RT_ICON id, for groups
    Bytes data;           // the image itself
};

// GRPICONDIR with one GRPICONDIRENTRY for each image.
Bytes makeGroupDirectory(const std::vector<ImageSpec>& images);
// An .ico file: ICONDIR, ICONDIRENTRYs and the images.
Bytes makeIco(const std::vector<ImageSpec>& images, std::uint16_t type = 1);

using ResourceId = std::variant<std::uint16_t, std::string>;

struct ResourceSpec {
    ResourceId type;
    ResourceId name;
    std::uint16_t language = 0;
    Bytes data;
};

// A PE32 (or PE32+) image with one .rsrc section holding these resources, stored as the
// platform's linkers store them: named entries first in name order, then ids ascending.
Bytes makePe(const std::vector<ResourceSpec>& resources, bool pe32plus = false);

// Resources of an RT_GROUP_ICON (named by groupName) and its RT_ICON images, for makePe.
std::vector<ResourceSpec> iconGroupResources(const ResourceId& groupName,
                                             const std::vector<ImageSpec>& images,
                                             std::uint16_t language = 0);

struct NeResourceSpec {
    std::uint16_t type; // 0x8003 icon, 0x800E group icon
    std::uint16_t id;   // without the high bit
    Bytes data;
};

// A 16-bit NE module with a resource table holding these resources.
Bytes makeNe(const std::vector<NeResourceSpec>& resources, std::uint16_t alignShift = 4);

// Files that claim, or inflate to, far more than they hold: one of each kind the reader's
// budgets guard against (images past the end of the file, many entries that share one image,
// huge PNG sizes in the header and in a small zlib stream, a directory of 65,535 groups).
struct Bomb {
    std::string name;
    Bytes bytes;
};
std::vector<Bomb> makeBombs();

} // namespace quorvane::testing
