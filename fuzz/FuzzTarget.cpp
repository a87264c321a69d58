// Every path of the icon reader over one input; the input's size bounds the work of each.
#include "FuzzTarget.h"

#include "Listing.h"
#include "quorvane/icons/Drawing.h"
#include "quorvane/icons/IcoWriter.h"
#include "quorvane/icons/IconBitmap.h"
#include "quorvane/icons/IconReader.h"
#include "quorvane/icons/Scaling.h"

#include <sstream>

namespace quorvane::fuzz {
namespace {

using namespace quorvane::icons;

// The first 64 indexes below count, and the last.
template <typename Visit> void eachIndex(std::uint32_t count, Visit visit) {
    for (std::uint32_t i = 0; i < count && i < 64; ++i)
        visit(i);
    if (count > 64)
        visit(count - 1);
}

} // namespace

void readIcons(std::span<const std::uint8_t> bytes) {
    MemorySource source(bytes);
    eachIndex(countIcons(source), [&](std::uint32_t i) {
        if (auto icon = extractIcon(source, i)) {
            std::uint32_t pixels[35 * 35] = {};
            drawIconBitmap(Surface{pixels, 35, 35, 35}, 2, 2, *icon);
        }
    });
    if (auto file = IconFile::open(source)) {
        std::ostringstream listing;
        tool::writeListing(listing, "input", "input", &*file, false);
        tool::writeListing(listing, "input", "input", &*file, true);
        (void)file->muiChecksum();
        std::uint64_t written = 0;
        (void)thumbnailPng(*file, 0, 16);
        (void)thumbnailPng(*file, 0, 256);
        eachIndex(file->groupCount(), [&](std::uint32_t i) {
            (void)file->groupName(i);
            auto group = file->group(i);
            auto plan = group ? planIco(*file, *group) : tl::unexpected(group.error());
            if (plan)
                (void)writeIco(*file, *group, *plan, [&](std::span<const std::uint8_t> out) {
                    written += out.size();
                    return written % 7 != 3; // now and then, an output that fails
                });
        });
    }
    // The same bytes as a lone image, as an .ico entry or RT_ICON resource would hold it.
    if (auto image = decodeImage(bytes)) {
        std::uint32_t pixels[35 * 35] = {};
        if (auto icon = scaleTo(*image, kIconSize, kIconSize))
            drawIconBitmap(Surface{pixels, 35, 35, 35}, 2, 2, *icon);
    }
}

} // namespace quorvane::fuzz
