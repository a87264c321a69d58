// The commands of quorvane-icons over the icon reader.
#include "Commands.h"

#include "Listing.h"
#include "quorvane/icons/Drawing.h"
#include "quorvane/icons/IcoWriter.h"
#include "quorvane/icons/IconBitmap.h"
#include "quorvane/icons/IconFile.h"
#include "quorvane/icons/IconReader.h"
#include "quorvane/icons/OutputFile.h"
#include "quorvane/icons/PngFiles.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <vector>

namespace quorvane::tool {
namespace {

using namespace quorvane::icons;

// extract --all writes at most this many files. Real files hold a few hundred groups at most
// (wine's shell32.dll, the largest here, 184); a file that claims more gets no files at all
// rather than a folder flooded with them.
constexpr std::size_t kMaxExtractedFiles = 4096;
// The part of a group's name that goes into a file name, in bytes.
constexpr std::size_t kMaxNameInFileName = 64;

int report(int status, const std::string& message) {
    std::cerr << "quorvane-icons: " << message << '\n';
    return status;
}

// "FILE: icon N: WHY", every message about one icon.
std::string iconMessage(const std::string& path, std::uint32_t index, const std::string& why) {
    return escaped(path) + ": icon " + std::to_string(index) + ": " + why;
}

// A reader's limit is an error of its own (2); any other reason an icon cannot be had means
// there is no such icon (1).
int statusFor(IconError error) {
    return error == IconError::TooLarge ? kExitError : kExitNoIcon;
}

// Why an .ico cannot be written, the image at `failed` (if any) named.
std::string icoFailure(const IconGroup& group, std::size_t failed, IconError error) {
    std::string why = describe(error);
    if (failed < group.entries.size())
        why = "image " + std::to_string(group.entries[failed].nId) + ": " + why;
    if (error == IconError::TooLarge)
        why += failed < group.entries.size()
                   ? " (larger than " + std::to_string(kMaxImageBytes >> 20) + " MiB)"
                   : " (its images add up past " + std::to_string(kMaxGroupBytes >> 20) + " MiB)";
    return why;
}

struct Opened {
    std::unique_ptr<FileSource> source;
    std::optional<IconFile> file; // empty when the file holds no icons
};

// Opens FILE: one that cannot be read is an error, one without icons is not.
std::optional<Opened> open(const std::string& path, int& status) {
    auto source = FileSource::open(path);
    if (!source) {
        status = report(kExitError, escaped(path) + ": " + describe(source.error()));
        return std::nullopt;
    }
    Opened opened{std::move(*source), std::nullopt};
    if (auto file = IconFile::open(*opened.source))
        opened.file.emplace(std::move(*file));
    return opened;
}

std::optional<std::uint32_t> parseIndex(const std::string& text, int& status) {
    std::uint32_t value = 0;
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end) {
        status = usageError("bad INDEX '" + escaped(text) + "': expected a number from 0");
        return std::nullopt;
    }
    return value;
}

int writeOutput(const std::string& path, std::span<const std::uint8_t> bytes, Placement placement) {
    OutputFile file(path, placement);
    if (!file.write(bytes) || !file.commit())
        return report(kExitError, escaped(path) + ": " + file.why());
    return kExitOk;
}

// A group's name as part of a file name: at most kMaxNameInFileName bytes, cut at a
// character's start.
std::string fileNamePart(const ResourceName& name) {
    std::string part = fileNameSafe(name.text());
    std::size_t cut = std::min(part.size(), kMaxNameInFileName);
    while (cut < part.size() && (static_cast<unsigned char>(part[cut]) & 0xC0) == 0x80)
        --cut;
    return part.substr(0, cut);
}

// The groups that extract --all writes: each one's index and file name.
struct Planned {
    std::uint32_t index = 0;
    std::string fileName;
};

// What extract --all would write of group `index`, or why it cannot.
struct GroupPlan {
    std::optional<IcoPlan> ico;
    IconError error = IconError::OutOfRange;
    std::string why;
    std::string fileName;
};

GroupPlan planGroup(const IconFile& file, std::uint32_t index) {
    GroupPlan plan;
    auto name = file.groupName(index);
    auto group = name ? file.group(index) : fail(name.error());
    std::size_t failed = SIZE_MAX;
    if (group && group->entries.empty())
        group = fail(IconError::OutOfRange);
    if (!group) {
        plan.error = group.error();
        plan.why = describe(plan.error);
    } else if (auto ico = planIco(file, *group, &failed); !ico) {
        plan.error = ico.error();
        plan.why = icoFailure(*group, failed, plan.error);
    } else {
        plan.ico = std::move(*ico);
        plan.fileName = std::to_string(index) + "-" + fileNamePart(*name) + ".ico";
    }
    return plan;
}

// Checks every group before anything is written: all of them must be there whole, within the
// budgets. Nothing on success; otherwise the exit status, its message printed.
std::optional<int> planAll(const std::string& path, const IconFile& file,
                           std::vector<Planned>& planned) {
    // All the files together: groups that share their images could otherwise write the same
    // bytes again and again. Groups that share nothing stay within the file's size, plus a
    // 16-byte entry an image.
    const std::uint64_t budget = 2 * file.source().size() + kMaxGroupBytes;
    std::uint64_t total = 0;
    std::uint32_t missing = 0;
    std::string firstMissing;
    for (std::uint32_t i = 0; i < file.groupCount(); ++i) {
        GroupPlan plan = planGroup(file, i);
        if (!plan.ico && plan.error == IconError::TooLarge)
            return report(kExitError, iconMessage(path, i, plan.why));
        if (!plan.ico) {
            if (missing++ == 0)
                firstMissing = iconMessage(path, i, plan.why);
            continue;
        }
        total += plan.ico->size;
        if (total > budget)
            return report(kExitError, escaped(path) + ": the icons add up past " +
                                          std::to_string(budget >> 20) +
                                          " MiB, twice the file's size and " +
                                          std::to_string(kMaxGroupBytes >> 20) + " MiB");
        if (planned.size() == kMaxExtractedFiles)
            return report(kExitError, escaped(path) + ": more than " +
                                          std::to_string(kMaxExtractedFiles) + " icons to write");
        planned.push_back({i, std::move(plan.fileName)});
    }
    if (missing > 0)
        return report(kExitNoIcon, std::to_string(missing) + " of " +
                                       std::to_string(file.groupCount()) +
                                       " icons cannot be extracted, so none is; " + firstMissing);
    return std::nullopt;
}

// Removes what extract --all made unless it was told that all went well.
struct Leftovers {
    std::filesystem::path createdFolder; // the outermost folder that was not there before
    std::string temporaryFolder;
    std::vector<std::filesystem::path> placed;
    bool done = false;

    ~Leftovers() {
        if (done)
            return;
        std::error_code ignored;
        for (const auto& file : placed)
            std::filesystem::remove(file, ignored);
        if (!temporaryFolder.empty())
            std::filesystem::remove_all(temporaryFolder, ignored);
        if (!createdFolder.empty())
            std::filesystem::remove_all(createdFolder, ignored);
    }
};

} // namespace

int usageError(const std::string& message) {
    return report(kExitError, message);
}

int count(const std::string& path) {
    int status = kExitOk;
    auto opened = open(path, status);
    if (!opened)
        return status;
    std::cout << (opened->file ? opened->file->groupCount() : 0) << '\n';
    return kExitOk;
}

int list(const std::string& path, bool json) {
    int status = kExitOk;
    auto opened = open(path, status);
    if (!opened)
        return status;
    writeListing(std::cout, path, opened->file ? &*opened->file : nullptr, json);
    return kExitOk;
}

int render(const std::string& path, const std::string& indexText, const std::string& out,
           int size) {
    int status = kExitOk;
    auto index = parseIndex(indexText, status);
    auto opened = index ? open(path, status) : std::nullopt;
    if (!opened)
        return status;
    auto icon = extractIcon(*opened->source, *index, size);
    if (!icon)
        return report(kExitNoIcon, iconMessage(path, *index, describe(icon.error())));
    auto canvas = IconBitmap::fromPixels(
        size, size, std::vector<std::uint32_t>(std::size_t(size) * std::size_t(size), 0xFFFFFFFFu),
        {}, false);
    if (!canvas)
        return report(kExitError, escaped(out) + ": " + describe(canvas.error()));
    drawIconBitmap(Surface{canvas->writablePixels().data(), size, size, size}, 0, 0, *icon);
    auto encoded = encodePng(*canvas, PngKind::Rgb);
    if (!encoded)
        return report(kExitError, escaped(out) + ": cannot encode PNG");
    return writeOutput(out, *encoded, Placement::Replace);
}

int thumbnail(const std::string& path, const std::string& out, int size) {
    int status = kExitOk;
    auto opened = open(path, status);
    if (!opened)
        return status;
    auto png = opened->file ? thumbnailPng(*opened->file, 0, size) : fail(IconError::OutOfRange);
    if (!png && png.error() == IconError::WriteFailed)
        return report(kExitError, escaped(out) + ": cannot encode PNG");
    if (!png)
        return report(kExitNoIcon, iconMessage(path, 0, describe(png.error())));
    return writeOutput(out, *png, Placement::InPlace);
}

int extract(const std::string& path, const std::string& indexText, const std::string& out) {
    int status = kExitOk;
    auto index = parseIndex(indexText, status);
    auto opened = index ? open(path, status) : std::nullopt;
    if (!opened)
        return status;
    auto group = opened->file ? opened->file->group(*index) : fail(IconError::OutOfRange);
    if (group && group->entries.empty())
        group = fail(IconError::OutOfRange);
    if (!group)
        return report(statusFor(group.error()), iconMessage(path, *index, describe(group.error())));
    OutputFile file(out, Placement::Replace);
    std::size_t failed = SIZE_MAX;
    auto written = writeIco(
        *opened->file, *group,
        [&](std::span<const std::uint8_t> bytes) { return file.write(bytes); }, &failed);
    if (!written && written.error() != IconError::WriteFailed)
        return report(statusFor(written.error()),
                      iconMessage(path, *index, icoFailure(*group, failed, written.error())));
    if (!written || !file.commit())
        return report(kExitError, escaped(out) + ": " + file.why());
    return kExitOk;
}

namespace {

// Makes DIR, noting the first folder made (for removal on failure), and a hidden temporary
// folder inside it; the exit status when either cannot be made.
std::optional<int> makeFolders(const std::string& dir, Leftovers& leftovers) {
    std::error_code ec;
    for (std::filesystem::path p(dir); !p.empty() && !std::filesystem::exists(p, ec);
         p = p.parent_path()) {
        leftovers.createdFolder = p;
        if (p == p.parent_path())
            break;
    }
    std::filesystem::create_directories(dir, ec);
    if (ec)
        return report(kExitError, escaped(dir) + ": " + ec.message());
    leftovers.temporaryFolder = makeTemporaryFolder(dir, "quorvane-icons-");
    if (leftovers.temporaryFolder.empty())
        return report(kExitError, escaped(dir) + ": " + std::strerror(errno));
    return std::nullopt;
}

// Writes every planned group into the temporary folder; the exit status of the first failure.
std::optional<int> writePlanned(const std::string& path, const IconFile& file,
                                const std::vector<Planned>& planned, const std::string& folder) {
    for (const Planned& p : planned) {
        const std::string temporary = folder + "/" + p.fileName;
        OutputFile out(temporary, Placement::InPlace);
        auto group = file.group(p.index);
        auto written =
            group ? writeIco(file, *group,
                             [&](std::span<const std::uint8_t> bytes) { return out.write(bytes); })
                  : fail(group.error());
        if (!written && written.error() != IconError::WriteFailed)
            return report(kExitError, iconMessage(path, p.index, describe(written.error())));
        if (!written || !out.commit())
            return report(kExitError, escaped(temporary) + ": " + out.why());
    }
    return std::nullopt;
}

} // namespace

int extractAll(const std::string& path, const std::string& dir) {
    int status = kExitOk;
    auto opened = open(path, status);
    if (!opened)
        return status;
    if (!opened->file || opened->file->groupCount() == 0)
        return report(kExitNoIcon, iconMessage(path, 0, describe(IconError::OutOfRange)));
    const IconFile& file = *opened->file;
    std::vector<Planned> planned;
    if (auto failure = planAll(path, file, planned))
        return *failure;
    // Every file is written into a folder of its own inside DIR and moved into DIR at the end:
    // a failure, or a kill, leaves no file of a half-done extraction among the user's files.
    Leftovers leftovers;
    if (auto failure = makeFolders(dir, leftovers))
        return *failure;
    if (auto failure = writePlanned(path, file, planned, leftovers.temporaryFolder))
        return *failure;
    std::error_code ec;
    for (const Planned& p : planned) {
        const std::filesystem::path target = std::filesystem::path(dir) / p.fileName;
        std::filesystem::rename(leftovers.temporaryFolder + "/" + p.fileName, target, ec);
        if (ec)
            return report(kExitError, escaped(target.string()) + ": " + ec.message());
        leftovers.placed.push_back(target);
    }
    std::filesystem::remove(leftovers.temporaryFolder, ec);
    leftovers.done = true;
    return kExitOk;
}

} // namespace quorvane::tool
