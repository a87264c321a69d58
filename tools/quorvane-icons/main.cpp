// quorvane-icons: counts, lists, renders and extracts the icons of program and icon files.
#include "ByteReader.h"
#include "IconApi.h"
#include "IconFile.h"
#include "IconImage.h"
#include "IconReader.h"
#include "quorvane_version.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <png.h>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace quorvane::icons;

constexpr int kExitOk = 0;
constexpr int kExitNoIcon = 1;
constexpr int kExitError = 2;

const char* const kUsage =
    "Usage: quorvane-icons COMMAND FILE [ARGS]\n"
    "Reads the icons stored in Windows program files (PE32, PE32+, NE) and .ico files.\n"
    "\n"
    "Commands:\n"
    "  count FILE                  print the number of icons, as the icon browser counts them\n"
    "  list FILE                   print each icon group and its images\n"
    "  render FILE INDEX OUT.png   write icon INDEX as drawn at 32x32 on white, as an RGB PNG\n"
    "  extract FILE INDEX OUT.ico  write icon group INDEX as an .ico file, images unchanged\n"
    "\n"
    "Options:\n"
    "  --help      show this help\n"
    "  --version   show the version\n"
    "\n"
    "Exit status: 0 success, 1 no such icon, 2 any other error.\n";

int error(const std::string& message) {
    std::cerr << "quorvane-icons: " << message << '\n';
    return kExitError;
}

struct Opened {
    std::unique_ptr<FileSource> source;
    std::optional<IconFile> file; // empty when the file holds no icons
};

// Opens FILE; a file that cannot be read is an error, one without icons is not.
std::optional<Opened> openFile(const std::string& path, int& status) {
    auto source = FileSource::open(path);
    if (!source) {
        status = error(path + ": " + describe(source.error()));
        return std::nullopt;
    }
    Opened opened{std::move(*source), std::nullopt};
    if (auto file = IconFile::open(*opened.source))
        opened.file.emplace(std::move(*file));
    return opened;
}

std::optional<std::uint32_t> parseIndex(const std::string& text) {
    std::uint32_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

// Writes the whole file beside its target, then renames it into place, so that a failure
// leaves no partial output behind.
bool writeFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes,
                         std::string& why) {
    namespace fs = std::filesystem;
    fs::path target(path);
    std::random_device random;
    std::string name = ".";
    name += target.filename().string();
    name += ".tmp";
    name += std::to_string(random());
    const fs::path temporary = target.parent_path() / name;
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) {
            why = std::strerror(errno);
            return false;
        }
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            why = "write failed";
            std::error_code ignored;
            fs::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code ec;
    fs::rename(temporary, target, ec);
    if (ec) {
        why = ec.message();
        fs::remove(temporary, ec);
        return false;
    }
    return true;
}

std::string describeImage(const IconFile& file, const IconDirEntry& entry) {
    std::string line = std::to_string(entry.width()) + "x" + std::to_string(entry.height());
    auto bytes = file.imageBytes(entry);
    if (!bytes)
        return line + " " + std::to_string(entry.wBitCount) + "bpp missing (" +
               describe(bytes.error()) + ")";
    unsigned bits = entry.wBitCount;
    ImageFormat format = imageFormat(*bytes);
    if (bits == 0 && format == ImageFormat::Dib) {
        ByteReader dib(*bytes);
        auto headerSize = dib.u32(0);
        auto bitCount = dib.u16(headerSize == 12u ? 10 : 14);
        bits = bitCount.value_or(0);
    }
    if (bits == 0 && format == ImageFormat::Png)
        bits = 32;
    return line + " " + std::to_string(bits) + "bpp " +
           (format == ImageFormat::Png ? "PNG" : "DIB") + " " + std::to_string(bytes->size()) +
           " bytes";
}

int commandCount(const std::string& path) {
    int status = kExitOk;
    auto opened = openFile(path, status);
    if (!opened)
        return status;
    std::cout << (opened->file ? opened->file->groupCount() : 0) << '\n';
    return kExitOk;
}

int commandList(const std::string& path) {
    int status = kExitOk;
    auto opened = openFile(path, status);
    if (!opened)
        return status;
    if (!opened->file)
        return kExitOk;
    const IconFile& file = *opened->file;
    for (std::uint32_t i = 0; i < file.groupCount(); ++i) {
        auto group = file.group(i);
        if (!group) {
            std::cout << i << " ? (" << describe(group.error()) << ")\n";
            continue;
        }
        std::cout << i << ' '
                  << (group->name.isId ? group->name.text() : '"' + group->name.name + '"');
        const char* separator = " ";
        for (const IconDirEntry& entry : group->entries) {
            std::cout << separator << describeImage(file, entry);
            separator = ", ";
        }
        std::cout << '\n';
    }
    return kExitOk;
}

// Opens FILE for a command that takes an INDEX; on failure status holds the exit status.
std::optional<Opened> openWithIndex(const std::string& path, const std::string& indexText,
                                    std::uint32_t& index, int& status) {
    auto parsed = parseIndex(indexText);
    if (!parsed) {
        status = error("bad INDEX '" + indexText + "': expected a number from 0");
        return std::nullopt;
    }
    index = *parsed;
    return openFile(path, status);
}

int noIcon(const std::string& path, std::uint32_t index, IconError why) {
    std::cerr << "quorvane-icons: " << path << ": icon " << index << ": " << describe(why) << '\n';
    return kExitNoIcon;
}

int commandRender(const std::string& path, const std::string& indexText, const std::string& out) {
    std::uint32_t index = 0;
    int status = kExitOk;
    auto opened = openWithIndex(path, indexText, index, status);
    if (!opened)
        return status;
    auto icon = extractIcon(*opened->source, index);
    if (!icon)
        return noIcon(path, index, icon.error());
    std::vector<std::uint32_t> pixels(kIconPixels, 0xFFFFFFFFu);
    drawIconBitmap(Surface{pixels.data(), kIconSize, kIconSize, kIconSize}, 0, 0, *icon);
    std::vector<std::uint8_t> rgb;
    rgb.reserve(pixels.size() * 3);
    for (std::uint32_t p : pixels) {
        rgb.push_back(static_cast<std::uint8_t>(p >> 16));
        rgb.push_back(static_cast<std::uint8_t>(p >> 8));
        rgb.push_back(static_cast<std::uint8_t>(p));
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = kIconSize;
    image.height = kIconSize;
    image.format = PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgb.data(), 0, nullptr))
        return error(out + ": cannot encode PNG");
    std::vector<std::uint8_t> encoded(size);
    if (!png_image_write_to_memory(&image, encoded.data(), &size, 0, rgb.data(), 0, nullptr))
        return error(out + ": cannot encode PNG");
    encoded.resize(size);
    std::string why;
    if (!writeFileAtomically(out, encoded, why))
        return error(out + ": " + why);
    return kExitOk;
}

void putU16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void putU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    putU16(out, static_cast<std::uint16_t>(v));
    putU16(out, static_cast<std::uint16_t>(v >> 16));
}

int commandExtract(const std::string& path, const std::string& indexText, const std::string& out) {
    std::uint32_t index = 0;
    int status = kExitOk;
    auto opened = openWithIndex(path, indexText, index, status);
    if (!opened)
        return status;
    auto group = opened->file ? opened->file->group(index) : fail(IconError::OutOfRange);
    if (!group || group->entries.empty())
        return noIcon(path, index, group ? IconError::OutOfRange : group.error());
    std::vector<std::vector<std::uint8_t>> images;
    for (const IconDirEntry& entry : group->entries) {
        auto bytes = opened->file->imageBytes(entry);
        if (!bytes) {
            std::cerr << "quorvane-icons: " << path << ": icon " << index << ": image " << entry.nId
                      << ": " << describe(bytes.error()) << '\n';
            return kExitNoIcon;
        }
        images.push_back(std::move(*bytes));
    }
    // ICONDIR, then one ICONDIRENTRY an image, then the images in the same order.
    std::vector<std::uint8_t> ico;
    putU16(ico, 0);
    putU16(ico, 1);
    putU16(ico, static_cast<std::uint16_t>(images.size()));
    std::uint64_t offset = 6 + 16 * images.size();
    for (std::size_t i = 0; i < images.size(); ++i) {
        const IconDirEntry& e = group->entries[i];
        ico.insert(ico.end(), {e.bWidth, e.bHeight, e.bColorCount, e.bReserved});
        putU16(ico, e.wPlanes);
        putU16(ico, e.wBitCount);
        putU32(ico, static_cast<std::uint32_t>(images[i].size()));
        putU32(ico, static_cast<std::uint32_t>(offset));
        offset += images[i].size();
    }
    for (const auto& image : images)
        ico.insert(ico.end(), image.begin(), image.end());
    std::string why;
    if (!writeFileAtomically(out, ico, why))
        return error(out + ": " + why);
    return kExitOk;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return error("no command; try 'quorvane-icons --help'");
    const std::string& command = args[0];
    if (command == "--help" || command == "-h") {
        std::cout << kUsage;
        return kExitOk;
    }
    if (command == "--version") {
        std::cout << "quorvane-icons " << QUORVANE_VERSION_TEXT << '\n';
        return kExitOk;
    }
    auto expect = [&](std::size_t n) { return args.size() == n; };
    if (command == "count" && expect(2))
        return commandCount(args[1]);
    if (command == "list" && expect(2))
        return commandList(args[1]);
    if (command == "render" && expect(4))
        return commandRender(args[1], args[2], args[3]);
    if (command == "extract" && expect(4))
        return commandExtract(args[1], args[2], args[3]);
    return error("bad command line; try 'quorvane-icons --help'");
}
