// Writes small byte-built PE, NE and ICO files into a folder, as the fuzzer's first inputs: they
// reach the paths that Debian's files do not (NE icons, PNG images, every DIB depth). With
// --bombs, writes the files that claim more than they hold instead, for the budget bench.
#include "IconBuilders.h"

#include <fstream>
#include <iostream>
#include <string>

using namespace quorvane::testing;

int main(int argc, char** argv) {
    const bool bombs = argc == 3 && std::string(argv[1]) == "--bombs";
    if (argc != 2 && !bombs) {
        std::cerr << "usage: write_samples [--bombs] DIR\n";
        return 2;
    }
    const std::string dir = argv[argc - 1];
    auto write = [&](const std::string& name, const Bytes& bytes) {
        std::ofstream(dir + "/" + name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    };
    if (bombs) {
        for (const Bomb& bomb : makeBombs())
            write(bomb.name, bomb.bytes);
        return 0;
    }
    std::vector<std::uint32_t> pixels(16 * 16);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 0x010203u);
    std::vector<std::uint8_t> mask(pixels.size());
    for (std::size_t i = 0; i < mask.size(); i += 3)
        mask[i] = 1;
    const auto picture = makePicture(16, 16, pixels, mask);
    std::vector<ImageSpec> images;
    std::uint16_t id = 1;
    for (int bits : {1, 4, 8, 16, 24, 32}) {
        auto small = bits <= 4
                         ? makePicture(16, 16, std::vector<std::uint32_t>(256, 0xFF000000u), mask)
                         : picture;
        images.push_back(
            {16, 16, bits, id++, makeDib(small, {.bitCount = bits, .bitfields = bits == 16})});
    }
    images.push_back({16, 16, 32, id++, makePng(picture)});
    write("sample.ico", makeIco(images));
    std::vector<ResourceSpec> resources;
    for (std::size_t i = 0; i < images.size(); ++i)
        for (auto& r : iconGroupResources(std::uint16_t(i + 1), {images[i]}))
            resources.push_back(r);
    for (auto& r : iconGroupResources(std::string("NAMED"), {images[0], images[6]}, 0x0411))
        resources.push_back(r);
    write("sample-pe32.dll", makePe(resources));
    write("sample-pe32plus.dll", makePe(resources, true));
    std::vector<NeResourceSpec> ne = {{0x800E, 1, makeGroupDirectory(images)}};
    for (const ImageSpec& image : images)
        ne.push_back({0x8003, image.id, image.data});
    write("sample-ne.exe", makeNe(ne));
    return 0;
}
