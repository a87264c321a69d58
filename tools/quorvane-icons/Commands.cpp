// The commands of quorvane-icons over the icon reader.
#include "Commands.h"

#include "Listing.h"
#include "OutputFile.h"
#include "quorvane/icons/Drawing.h"
#include "quorvane/icons/IcoWriter.h"
#include "quorvane/icons/IconBitmap.h"
#include "quorvane/icons/IconFile.h"
#include "quorvane/icons/IconPath.h"
#include "quorvane/icons/IconReader.h"
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
// What extract --all may write beyond twice the file's size: one large group's worth.
constexpr std::uint64_t kExtraExtractBytes = 8u << 20;
// The part of a group's name that goes into a file name, in bytes.
constexpr std::size_t kMaxNameInFileName = 64;

int report(int status, const std::string& message) {
    std::cerr << "quorvane-icons: " << message << '\n';
    return status;
}

// The one rule for every command: an icon that the file does not give is 1; a file that cannot
// be read, a limit of the reader and an output that cannot be written are 2.
int statusFor(IconError kind) {
    switch (kind) {
    case IconError::NotIconFile:
    case IconError::Malformed:
    case IconError::OutOfRange:
    case IconError::Undecodable:
        return kExitNoIcon;
    case IconError::NotFound:
    case IconError::Unreadable:
    case IconError::TooLarge:
    case IconError::WriteFailed:
        return kExitError;
    }
    return kExitError;
}

// "FILE: MESSAGE" on standard error, with the status that the error's kind gives.
int reportError(const std::string& path, const Error& error) {
    return report(statusFor(error.kind), escaped(path) + ": " + escaped(error.message));
}

// Opens FILE, or the file that holds its icons: one that cannot be read is an error, one
// without icons is not. The messages about its icons name the file they are read from.
std::optional<PathIcons> open(const std::string& path, int& status) {
    auto opened = openIcons(path);
    if (!opened) {
        status = reportError(path, opened.error());
        return std::nullopt;
    }
    return std::move(*opened);
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

// The group `index` of the file, when it has images.
Result<IconGroup> groupOf(const Result<IconFile>& file, std::uint32_t index) {
    if (!file)
        return tl::unexpected(file.error());
    return file->group(index);
}

// The groups that extract --all writes: each one's index and file name.
struct Planned {
    std::uint32_t index = 0;
    std::string fileName;
};

// The .ico that extract --all would write of group `index`, and its file name.
Result<Planned> planGroup(const IconFile& file, std::uint32_t index, std::uint64_t& total) {
    auto name = file.groupName(index);
    if (!name)
        return tl::unexpected(name.error());
    auto group = file.group(index);
    auto ico = group ? planIco(file, *group) : tl::unexpected(group.error());
    if (!ico)
        return tl::unexpected(ico.error());
    total += ico->size;
    return Planned{index, std::to_string(index) + "-" + fileNamePart(*name) + ".ico"};
}

// Checks every group before anything is written: all of them must be there whole, within the
// budgets. Nothing on success; otherwise the exit status, its message printed.
std::optional<int> planAll(const std::string& path, const IconFile& file,
                           std::vector<Planned>& planned) {
    // All the files together: groups that share their images could otherwise write the same
    // bytes again and again. Groups that share nothing stay within the file's size, plus a
    // 16-byte entry an image.
    const std::uint64_t budget = 2 * file.source().size() + kExtraExtractBytes;
    std::uint64_t total = 0;
    std::uint32_t missing = 0;
    std::optional<Error> firstMissing;
    for (std::uint32_t i = 0; i < file.groupCount(); ++i) {
        auto plan = planGroup(file, i, total);
        if (!plan && statusFor(plan.error().kind) == kExitError)
            return reportError(path, plan.error());
        if (!plan) {
            if (missing++ == 0)
                firstMissing = plan.error();
            continue;
        }
        if (total > budget)
            return report(kExitError, escaped(path) + ": the icons add up past " +
                                          std::to_string(budget >> 20) +
                                          " MiB, twice the file's size and " +
                                          std::to_string(kExtraExtractBytes >> 20) + " MiB");
        if (planned.size() == kMaxExtractedFiles)
            return report(kExitError, escaped(path) + ": more than " +
                                          std::to_string(kMaxExtractedFiles) + " icons to write");
        planned.push_back(std::move(*plan));
    }
    if (firstMissing)
        return report(kExitNoIcon, std::to_string(missing) + " of " +
                                       std::to_string(file.groupCount()) +
                                       " icons cannot be extracted, so none is; " + escaped(path) +
                                       ": " + escaped(firstMissing->message));
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
    writeListing(std::cout, path, opened->path, opened->file ? &*opened->file : nullptr, json);
    return kExitOk;
}

int render(const std::string& path, const std::string& indexText, const std::string& out,
           int size) {
    int status = kExitOk;
    auto index = parseIndex(indexText, status);
    auto opened = index ? open(path, status) : std::nullopt;
    if (!opened)
        return status;
    auto icon = opened->file ? extractIcon(*opened->file, *index, size)
                             : tl::unexpected(opened->file.error());
    if (!icon)
        return reportError(opened->path, icon.error());
    auto canvas = IconBitmap::fromPixels(
        size, size, std::vector<std::uint32_t>(std::size_t(size) * std::size_t(size), 0xFFFFFFFFu),
        {}, false);
    if (!canvas)
        return reportError(out, canvas.error());
    drawIconBitmap(Surface{canvas->writablePixels().data(), size, size, size}, 0, 0, *icon);
    auto encoded = encodePng(*canvas, PngKind::Rgb);
    if (!encoded)
        return reportError(out, encoded.error());
    return writeOutput(out, *encoded, Placement::Replace);
}

int thumbnail(const std::string& path, const std::string& out, int size) {
    int status = kExitOk;
    auto opened = open(path, status);
    if (!opened)
        return status;
    auto png =
        opened->file ? thumbnailPng(*opened->file, 0, size) : tl::unexpected(opened->file.error());
    if (!png)
        return reportError(png.error().kind == IconError::WriteFailed ? out : opened->path,
                           png.error());
    return writeOutput(out, *png, Placement::InPlace);
}

int extract(const std::string& path, const std::string& indexText, const std::string& out) {
    int status = kExitOk;
    auto index = parseIndex(indexText, status);
    auto opened = index ? open(path, status) : std::nullopt;
    if (!opened)
        return status;
    auto group = groupOf(opened->file, *index);
    auto plan = group ? planIco(*opened->file, *group) : tl::unexpected(group.error());
    if (!plan)
        return reportError(opened->path, plan.error());
    OutputFile file(out, Placement::Replace);
    auto written = writeIco(*opened->file, *group, *plan,
                            [&](std::span<const std::uint8_t> bytes) { return file.write(bytes); });
    if (!written && written.error().kind != IconError::WriteFailed)
        return reportError(opened->path, written.error());
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
        auto plan = group ? planIco(file, *group) : tl::unexpected(group.error());
        auto written =
            plan ? writeIco(file, *group, *plan,
                            [&](std::span<const std::uint8_t> bytes) { return out.write(bytes); })
                 : tl::unexpected(plan.error());
        if (!written && written.error().kind != IconError::WriteFailed)
            return reportError(path, written.error());
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
    if (auto first = groupOf(opened->file, 0); !first)
        return reportError(opened->path, first.error());
    const IconFile& file = *opened->file;
    std::vector<Planned> planned;
    if (auto failure = planAll(opened->path, file, planned))
        return *failure;
    // Every file is written into a folder of its own inside DIR and moved into DIR at the end:
    // a failure, or a kill, leaves no file of a half-done extraction among the user's files.
    Leftovers leftovers;
    if (auto failure = makeFolders(dir, leftovers))
        return *failure;
    if (auto failure = writePlanned(opened->path, file, planned, leftovers.temporaryFolder))
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
