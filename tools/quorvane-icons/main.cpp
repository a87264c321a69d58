// quorvane-icons: counts, lists, renders and extracts the icons of program and icon files.
#include "IconExport.h"
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
#include <new>
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

// An output file written beside its target and renamed into place when complete, so that a
// failure leaves no partial output behind.
class AtomicFile {
  public:
    explicit AtomicFile(const std::string& path) : m_target(path) {
        std::random_device random;
        m_temporary = m_target.parent_path() /
                      ("." + m_target.filename().string() + ".tmp" + std::to_string(random()));
        m_out.open(m_temporary, std::ios::binary | std::ios::trunc);
        if (!m_out)
            m_why = std::strerror(errno);
    }
    ~AtomicFile() {
        if (!m_committed) {
            m_out.close();
            std::error_code ignored;
            std::filesystem::remove(m_temporary, ignored);
        }
    }
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool write(std::span<const std::uint8_t> bytes) {
        if (m_out)
            m_out.write(reinterpret_cast<const char*>(bytes.data()),
                        static_cast<std::streamsize>(bytes.size()));
        if (!m_out && m_why.empty())
            m_why = "write failed";
        return static_cast<bool>(m_out);
    }
    // Renames the file into place; false, with why(), when it cannot be completed.
    bool commit() {
        m_out.close();
        if (!m_out) {
            if (m_why.empty())
                m_why = "write failed";
            return false;
        }
        std::error_code ec;
        std::filesystem::rename(m_temporary, m_target, ec);
        if (ec) {
            m_why = ec.message();
            return false;
        }
        m_committed = true;
        return true;
    }
    const std::string& why() const { return m_why; }

  private:
    std::filesystem::path m_target;
    std::filesystem::path m_temporary;
    std::ofstream m_out;
    std::string m_why;
    bool m_committed = false;
};

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
    if (opened->file)
        listGroups(*opened->file, [](const std::string& line) { std::cout << line << '\n'; });
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
    AtomicFile file(out);
    if (!file.write(encoded) || !file.commit())
        return error(out + ": " + file.why());
    return kExitOk;
}

int commandExtract(const std::string& path, const std::string& indexText, const std::string& out) {
    std::uint32_t index = 0;
    int status = kExitOk;
    auto opened = openWithIndex(path, indexText, index, status);
    if (!opened)
        return status;
    auto group = opened->file ? opened->file->group(index) : fail(IconError::OutOfRange);
    if (!group && group.error() == IconError::TooLarge)
        return error(path + ": icon " + std::to_string(index) + ": " + describe(group.error()));
    if (!group || group->entries.empty())
        return noIcon(path, index, group ? IconError::OutOfRange : group.error());
    AtomicFile file(out);
    std::size_t failed = group->entries.size();
    auto written = writeIco(
        *opened->file, *group,
        [&](std::span<const std::uint8_t> bytes) { return file.write(bytes); }, &failed);
    if (!written && written.error() == IconError::WriteFailed)
        return error(out + ": " + file.why());
    if (!written && failed < group->entries.size() && written.error() != IconError::TooLarge) {
        std::cerr << "quorvane-icons: " << path << ": icon " << index << ": image "
                  << group->entries[failed].nId << ": " << describe(written.error()) << '\n';
        return kExitNoIcon;
    }
    if (!written && failed < group->entries.size())
        return error(path + ": icon " + std::to_string(index) + ": image " +
                     std::to_string(group->entries[failed].nId) + ": " + describe(written.error()) +
                     " (larger than " + std::to_string(kMaxImageBytes >> 20) + " MiB)");
    if (!written)
        return error(path + ": icon " + std::to_string(index) + ": " + describe(written.error()) +
                     " (its images add up past " + std::to_string(kMaxGroupBytes >> 20) + " MiB)");
    if (!file.commit())
        return error(out + ": " + file.why());
    return kExitOk;
}

int run(const std::vector<std::string>& args) {
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

} // namespace

// Every way out is exit status 0, 1 or 2 with at most one line on standard error: an
// exception that escapes a command (memory running out, as a last resort) is one more error.
int main(int argc, char** argv) {
    try {
        return run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::bad_alloc&) {
        return error("out of memory");
    } catch (const std::exception& e) {
        return error(e.what());
    }
}
