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
#include <random>
#include <string>
#include <vector>

namespace {

using namespace quorvane::icons;

constexpr int kExitOk = 0;
constexpr int kExitNoIcon = 1;
constexpr int kExitError = 2;
constexpr int kDefaultThumbnailSize = 128;

const char* const kUsage =
    "Usage: quorvane-icons COMMAND FILE [ARGS]\n"
    "Reads the icons stored in Windows program files (PE32, PE32+, NE) and .ico files.\n"
    "\n"
    "Commands:\n"
    "  count FILE                   print the number of icons, as the icon browser counts them\n"
    "  list [--json] FILE           print each icon group and its images (as JSON with --json)\n"
    "  render [--size N] FILE INDEX OUT.png\n"
    "                               write icon INDEX as drawn at NxN (default 32) on white,\n"
    "                               as an RGB PNG\n"
    "  extract FILE INDEX OUT.ico   write icon group INDEX as an .ico file, images unchanged\n"
    "  extract --all FILE DIR       write every group into DIR as INDEX-NAME.ico\n"
    "  thumbnail [-s SIZE] FILE OUT.png\n"
    "                               write the first icon as a PNG with alpha, no larger than\n"
    "                               SIZExSIZE (default 128), for file managers\n"
    "\n"
    "Sizes run from 1 to 512.\n"
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

// How an output reaches its path.
enum class Placement {
    // Written beside the target and renamed into place when complete, so that a failure leaves
    // no partial output behind.
    Replace,
    // Written into the path itself, created or truncated: a thumbnail service may have made
    // the file and read it back through a descriptor of its own, which a renamed file would
    // miss.
    InPlace,
};

// An output file. When replacing, a target that is a link is followed, so that the link stays,
// and one that is not a regular file (a device such as /dev/stdout, a pipe) is written in
// place, since renaming over it would replace it.
class OutputFile {
  public:
    explicit OutputFile(const std::string& path, Placement placement = Placement::Replace)
        : m_target(path) {
        std::error_code ec;
        const auto status = std::filesystem::status(m_target, ec);
        m_inPlace = placement == Placement::InPlace ||
                    (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status));
        if (m_inPlace) {
            m_out.open(m_target, std::ios::binary | std::ios::trunc);
        } else {
            if (std::filesystem::is_symlink(std::filesystem::symlink_status(m_target, ec)))
                m_target = std::filesystem::weakly_canonical(m_target, ec);
            std::random_device random;
            m_temporary = m_target.parent_path() /
                          ("." + m_target.filename().string() + ".tmp" + std::to_string(random()));
            m_out.open(m_temporary, std::ios::binary | std::ios::trunc);
        }
        if (!m_out)
            m_why = std::strerror(errno);
    }
    ~OutputFile() {
        if (!m_committed && !m_inPlace) {
            m_out.close();
            std::error_code ignored;
            std::filesystem::remove(m_temporary, ignored);
        }
    }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool write(std::span<const std::uint8_t> bytes) {
        if (m_out)
            m_out.write(reinterpret_cast<const char*>(bytes.data()),
                        static_cast<std::streamsize>(bytes.size()));
        if (!m_out && m_why.empty())
            m_why = "write failed";
        return static_cast<bool>(m_out);
    }
    // Completes the file, renaming it into place when replacing; false, with why(), when it
    // cannot be completed.
    bool commit() {
        m_out.close();
        if (!m_out) {
            if (m_why.empty())
                m_why = "write failed";
            return false;
        }
        if (m_inPlace) {
            m_committed = true;
            return true;
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
    bool m_inPlace = false;
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

// TEXT as a JSON string: UTF-8 kept, control characters escaped, bytes that are not UTF-8
// (a file name can hold any) replaced by U+FFFD.
std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if (c == '"' || c == '\\') {
                out += '\\';
                out += static_cast<char>(c);
            } else if (c < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
            ++i;
            continue;
        }
        // The length of a well-formed sequence, its continuation bytes, and its value's range.
        const std::size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
        std::uint32_t value = n == 4 ? c & 0x07u : n == 3 ? c & 0x0Fu : c & 0x1Fu;
        bool valid = n != 0 && c < 0xF5 && i + n <= text.size();
        for (std::size_t k = 1; valid && k < n; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            value = (value << 6) | (next & 0x3Fu);
        }
        const std::uint32_t least = n == 4 ? 0x10000 : n == 3 ? 0x800 : 0x80;
        valid = valid && value >= least && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF);
        out += valid ? text.substr(i, n) : "\uFFFD";
        i += valid ? n : 1;
    }
    return out + '"';
}

void printJson(const std::string& path, const std::optional<IconFile>& file) {
    static constexpr const char* kKinds[] = {"PE", "NE", "ICO"};
    std::cout << "{\"file\": " << jsonString(path) << ", \"kind\": ";
    if (file)
        std::cout << '"' << kKinds[static_cast<int>(file->kind())] << '"';
    else
        std::cout << "null";
    std::cout << ", \"icons\": [";
    const char* separator = "";
    if (file) {
        walkGroups(*file, [&](const GroupListing& listing) {
            std::cout << separator << "\n  {\"index\": " << listing.index;
            separator = ",";
            if (!listing.group) {
                std::cout << ", \"error\": " << jsonString(describe(listing.group.error())) << '}';
                return;
            }
            const ResourceName& name = listing.group->name;
            if (name.isId)
                std::cout << ", \"id\": " << name.id;
            else
                std::cout << ", \"name\": " << jsonString(name.name);
            std::cout << ", \"images\": [";
            for (std::size_t k = 0; k < listing.images.size(); ++k) {
                const IconDirEntry& entry = listing.group->entries[k];
                const Result<ImageFacts>& facts = listing.images[k];
                std::cout << (k ? ", " : "") << "{\"width\": " << entry.width()
                          << ", \"height\": " << entry.height();
                if (facts)
                    std::cout << ", \"bits\": " << facts->bitCount << ", \"format\": \""
                              << (facts->format == ImageFormat::Png ? "PNG" : "DIB")
                              << "\", \"bytes\": " << facts->length << '}';
                else
                    std::cout << ", \"bits\": " << entry.wBitCount
                              << ", \"error\": " << jsonString(describe(facts.error())) << '}';
            }
            std::cout << "]}";
        });
    }
    std::cout << (*separator ? "\n" : "") << "]}\n";
}

int commandList(const std::string& path, bool json) {
    int status = kExitOk;
    auto opened = openFile(path, status);
    if (!opened)
        return status;
    if (json)
        printJson(path, opened->file);
    else if (opened->file)
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

int writeOutput(const std::string& path, std::span<const std::uint8_t> bytes,
                Placement placement = Placement::Replace) {
    OutputFile file(path, placement);
    if (!file.write(bytes) || !file.commit())
        return error(path + ": " + file.why());
    return kExitOk;
}

int commandRender(const std::string& path, const std::string& indexText, const std::string& out,
                  int size) {
    std::uint32_t index = 0;
    int status = kExitOk;
    auto opened = openWithIndex(path, indexText, index, status);
    if (!opened)
        return status;
    auto icon = extractIcon(*opened->source, index, size);
    if (!icon)
        return noIcon(path, index, icon.error());
    auto canvas = IconBitmap::fromPixels(
        size, size, std::vector<std::uint32_t>(std::size_t(size) * std::size_t(size), 0xFFFFFFFFu),
        {}, false);
    if (!canvas)
        return error(out + ": " + describe(canvas.error()));
    drawIconBitmap(Surface{canvas->writablePixels().data(), size, size, size}, 0, 0, *icon);
    auto encoded = encodePng(*canvas, PngKind::Rgb);
    if (!encoded)
        return error(out + ": cannot encode PNG");
    return writeOutput(out, *encoded);
}

int commandThumbnail(const std::string& path, const std::string& out, int size) {
    int status = kExitOk;
    auto opened = openFile(path, status);
    if (!opened)
        return status;
    auto png = opened->file ? thumbnailPng(*opened->file, 0, size) : fail(IconError::OutOfRange);
    if (!png && png.error() == IconError::WriteFailed)
        return error(out + ": cannot encode PNG");
    if (!png)
        return noIcon(path, 0, png.error());
    return writeOutput(out, *png, Placement::InPlace);
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
    OutputFile file(out);
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

// A group's name as part of a file name: no '/' or control characters, at most 64 bytes
// (cut at a character's start).
std::string fileNamePart(const ResourceName& name) {
    std::string part = name.text();
    for (char& c : part) {
        if (c == '/' || static_cast<unsigned char>(c) < 0x20)
            c = '_';
    }
    std::size_t cut = std::min<std::size_t>(part.size(), 64);
    while (cut < part.size() && (static_cast<unsigned char>(part[cut]) & 0xC0) == 0x80)
        --cut;
    return part.substr(0, cut);
}

int commandExtractAll(const std::string& path, const std::string& dir) {
    int status = kExitOk;
    auto opened = openFile(path, status);
    if (!opened)
        return status;
    if (!opened->file || opened->file->groupCount() == 0)
        return noIcon(path, 0, IconError::OutOfRange);
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec)
        return error(dir + ": " + ec.message());
    // All the files together: groups that share their images could otherwise write the same
    // bytes again and again. Groups that share nothing stay within the file's size, plus a
    // 16-byte entry an image.
    const std::uint64_t budget = 2 * opened->source->size() + kMaxGroupBytes;
    std::uint64_t written = 0;
    int result = kExitOk;
    for (std::uint32_t i = 0; i < opened->file->groupCount(); ++i) {
        auto group = opened->file->group(i);
        if (!group && group.error() == IconError::TooLarge)
            return error(path + ": icon " + std::to_string(i) + ": " + describe(group.error()));
        if (!group || group->entries.empty()) {
            result = noIcon(path, i, group ? IconError::OutOfRange : group.error());
            continue;
        }
        const std::string out = (std::filesystem::path(dir) /
                                 (std::to_string(i) + "-" + fileNamePart(group->name) + ".ico"))
                                    .string();
        OutputFile file(out);
        bool overBudget = false;
        auto done = writeIco(*opened->file, *group, [&](std::span<const std::uint8_t> bytes) {
            written += bytes.size();
            overBudget = written > budget;
            return !overBudget && file.write(bytes);
        });
        if (overBudget)
            return error(path + ": the icons add up past " + std::to_string(budget >> 20) +
                         " MiB, twice the file's size and " + std::to_string(kMaxGroupBytes >> 20) +
                         " MiB");
        if (!done && done.error() == IconError::WriteFailed)
            return error(out + ": " + file.why());
        if (!done && done.error() == IconError::TooLarge)
            return error(path + ": icon " + std::to_string(i) + ": " + describe(done.error()));
        if (!done) {
            result = noIcon(path, i, done.error());
            continue;
        }
        if (!file.commit())
            return error(out + ": " + file.why());
    }
    return result;
}

// A size option's value: a whole number from 1 to kMaxDrawSize.
std::optional<int> parseSize(const std::string& text) {
    auto value = parseIndex(text);
    if (!value || *value < 1 || *value > std::uint32_t(kMaxDrawSize))
        return std::nullopt;
    return static_cast<int>(*value);
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
    // Options may come anywhere after the command; "--" ends them.
    std::vector<std::string> operands;
    bool json = false, all = false;
    std::optional<std::string> sizeText;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--") {
            operands.insert(operands.end(), args.begin() + std::ptrdiff_t(i) + 1, args.end());
            break;
        }
        if (a == "--json") {
            json = true;
        } else if (a == "--all") {
            all = true;
        } else if ((a == "--size" || a == "-s") && i + 1 < args.size()) {
            sizeText = args[++i];
        } else if (a.starts_with("--size=")) {
            sizeText = a.substr(7);
        } else if (a.size() > 1 && a[0] == '-' && (a[1] < '0' || a[1] > '9')) {
            return error("unknown option '" + a + "'; try 'quorvane-icons --help'");
        } else {
            operands.push_back(a);
        }
    }
    const bool sizeAllowed = command == "render" || command == "thumbnail";
    std::optional<int> size = sizeText ? parseSize(*sizeText) : std::nullopt;
    if (sizeText && sizeAllowed && !size)
        return error("bad SIZE '" + *sizeText + "': expected a number from 1 to " +
                     std::to_string(kMaxDrawSize));
    const bool optionsFit = (!json || command == "list") && (!all || command == "extract") &&
                            (!sizeText || sizeAllowed);
    auto expect = [&](std::size_t n) { return optionsFit && operands.size() == n; };
    if (command == "count" && expect(1))
        return commandCount(operands[0]);
    if (command == "list" && expect(1))
        return commandList(operands[0], json);
    if (command == "render" && expect(3))
        return commandRender(operands[0], operands[1], operands[2], size.value_or(kIconSize));
    if (command == "extract" && all && expect(2))
        return commandExtractAll(operands[0], operands[1]);
    if (command == "extract" && !all && expect(3))
        return commandExtract(operands[0], operands[1], operands[2]);
    if (command == "thumbnail" && expect(2))
        return commandThumbnail(operands[0], operands[1], size.value_or(kDefaultThumbnailSize));
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
