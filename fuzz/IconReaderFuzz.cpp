// libFuzzer harness: file bytes into the icon reader, the way ExtractIconA reads a file.
#include "IconImage.h"
#include "IconReader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorvane::icons;
    std::span<const std::uint8_t> bytes(data, size);
    MemorySource source(bytes);
    const std::uint32_t count = countIcons(source);
    for (std::uint32_t i = 0; i < count && i < 8; ++i) {
        if (auto icon = extractIcon(source, i)) {
            std::uint32_t pixels[35 * 35] = {};
            drawIconBitmap(Surface{pixels, 35, 35, 35}, 2, 2, *icon);
        }
    }
    // The same bytes as a lone image, as an .ico entry or RT_ICON resource would hold it.
    if (auto image = decodeImage(bytes))
        (void)scaleToIconSize(*image);
    return 0;
}
