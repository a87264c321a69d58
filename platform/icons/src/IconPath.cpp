// Following a Windows module to the file that holds its resources.
#include "quorvane/icons/IconPath.h"

#include <filesystem>
#include <optional>
#include <string_view>

namespace quorvane::icons {
namespace {

namespace fs = std::filesystem;

// A folder is searched for another spelling of a name through at most this many entries: the
// SystemResources folder of Windows 11 holds a few hundred.
constexpr std::size_t kMaxFolderEntries = 1u << 16;

// Windows' names compare without regard to case; the names followed here are ASCII.
bool sameName(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

// The entry of FOLDER called NAME in any case: the spelling given first, then a search.
std::optional<fs::path> findEntry(const fs::path& folder, const std::string& name) {
    std::error_code ec;
    if (fs::exists(folder / name, ec))
        return folder / name;
    fs::directory_iterator entry(folder, ec);
    for (std::size_t seen = 0; !ec && entry != fs::directory_iterator() && seen < kMaxFolderEntries;
         entry.increment(ec), ++seen) {
        if (sameName(entry->path().filename().string(), name))
            return entry->path();
    }
    return std::nullopt;
}

// The icons of the module's resource file, when there is one that belongs to the module.
std::optional<PathIcons> resourceFile(const std::string& path, const IconFile& module) {
    auto checksum = module.muiChecksum();
    if (!checksum)
        return std::nullopt;
    std::error_code ec;
    const fs::path modulePath = fs::absolute(path, ec).lexically_normal();
    auto folder =
        ec ? std::nullopt : findEntry(modulePath.parent_path().parent_path(), "SystemResources");
    auto found =
        folder ? findEntry(*folder, modulePath.filename().string() + ".mun") : std::nullopt;
    auto source = found ? FileSource::open(found->string()) : tl::unexpected(Error{});
    if (!source)
        return std::nullopt;
    auto file = IconFile::open(**source);
    if (!file || file->kind() != FileKind::Pe || file->groupCount() == 0 ||
        file->muiChecksum() != checksum)
        return std::nullopt;
    return PathIcons{std::move(*source), std::move(file), found->string()};
}

} // namespace

Result<PathIcons> openIcons(const std::string& path) {
    auto source = FileSource::open(path);
    if (!source)
        return tl::unexpected(source.error());
    auto file = IconFile::open(**source);
    if (file && file->kind() == FileKind::Pe && file->groupCount() == 0) {
        if (auto redirected = resourceFile(path, *file))
            return std::move(*redirected);
    }
    return PathIcons{std::move(*source), std::move(file), path};
}

} // namespace quorvane::icons
