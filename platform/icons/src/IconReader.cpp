// Counting icons, extracting them at a size, and making thumbnails: the two rules that choose
// an image from a group, on top of IconFile and the image decoders.
#include "quorvane/icons/IconReader.h"
#include "quorvane/icons/IconPath.h"
#include "quorvane/icons/PngFiles.h"
#include "quorvane/icons/Scaling.h"

#include "Png.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <tuple>

namespace quorvane::icons {
namespace {

// The entry that best fits size x size, as extractIcon says.
std::optional<std::size_t> chooseImage(const std::vector<IconDirEntry>& entries, int size) {
    std::optional<std::size_t> best;
    auto key = [size](const IconDirEntry& e) {
        int distance = std::abs(e.width() - size) + std::abs(e.height() - size);
        int area = e.width() * e.height();
        int depthDistance = std::abs(static_cast<int>(e.wBitCount) - 32);
        return std::tuple(distance, -area, depthDistance);
    };
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (!best || key(entries[i]) < key(entries[*best]))
            best = i;
    }
    return best;
}

// The image that suits a thumbnail of size x size, as thumbnailPng says.
std::optional<std::size_t> chooseThumbnailImage(const std::vector<Result<ImageFacts>>& images,
                                                int size) {
    // Smaller keys are better: fitting images by their larger side upwards, the others by
    // theirs downwards; then area the same way, then PNG or 32-bit, then the bit count.
    auto key = [size](const ImageFacts& f) {
        const int side = std::max(f.width, f.height);
        const bool fits = side >= size;
        const int area = f.width * f.height;
        const bool best = f.format == ImageFormat::Png || f.bitCount == 32;
        return std::tuple(!fits, fits ? side : -side, fits ? area : -area, !best,
                          -static_cast<long>(f.bitCount));
    };
    std::optional<std::size_t> chosen;
    for (std::size_t i = 0; i < images.size(); ++i) {
        if (images[i] && (!chosen || key(*images[i]) < key(*images[*chosen])))
            chosen = i;
    }
    return chosen;
}

// The picture with its transparency as alpha, shrunk to fit size x size with its proportions
// kept (rounded to the nearest pixel, at least one), never enlarged.
Result<IconBitmap> fitThumbnail(const IconBitmap& picture, int size) {
    IconBitmap withAlpha = maskAsAlpha(picture);
    const int side = std::max(picture.width(), picture.height());
    if (side <= size)
        return withAlpha;
    auto scaled = [&](int length) { return std::max(1, (length * size + side / 2) / side); };
    return scaleTo(withAlpha, scaled(picture.width()), scaled(picture.height()));
}

tl::unexpected<Error> noImages(std::uint32_t index) {
    return fail(IconError::OutOfRange, "group " + std::to_string(index) + " has no images");
}

} // namespace

std::uint32_t countIcons(const Source& source) {
    auto file = IconFile::open(source);
    return file ? file->groupCount() : 0;
}

std::uint32_t countIcons(const std::string& path) {
    auto opened = openIcons(path);
    return opened && opened->file ? opened->file->groupCount() : 0;
}

Result<IconBitmap> extractIcon(const IconFile& file, std::uint32_t index, int size) {
    if (size < 1 || size > kMaxDrawSize)
        return fail(IconError::TooLarge, "a size of " + std::to_string(size) + ", outside 1 to " +
                                             std::to_string(kMaxDrawSize));
    auto group = file.group(index);
    if (!group)
        return tl::unexpected(group.error());
    auto chosen = chooseImage(group->entries, size);
    if (!chosen)
        return noImages(index);
    const IconDirEntry& entry = group->entries[*chosen];
    auto bytes = file.imageBytes(entry);
    if (!bytes)
        return tl::unexpected(bytes.error());
    auto bitmap = decodeImage(*bytes);
    if (!bitmap)
        return failAt(entry.place(), bitmap.error());
    return scaleTo(*bitmap, size, size);
}

Result<IconBitmap> extractIcon(const Source& source, std::uint32_t index, int size) {
    auto file = IconFile::open(source);
    if (!file)
        return tl::unexpected(file.error());
    return extractIcon(*file, index, size);
}

Result<IconBitmap> extractIcon(const std::string& path, std::uint32_t index, int size) {
    auto opened = openIcons(path);
    if (!opened)
        return tl::unexpected(opened.error());
    if (!opened->file)
        return tl::unexpected(opened->file.error());
    return extractIcon(*opened->file, index, size);
}

Result<std::vector<std::uint8_t>> thumbnailPng(const IconFile& file, std::uint32_t index,
                                               int size) {
    auto group = file.group(index);
    if (!group)
        return tl::unexpected(group.error());
    std::vector<Result<ImageFacts>> facts;
    facts.reserve(group->entries.size());
    for (const IconDirEntry& entry : group->entries)
        facts.push_back(file.imageFacts(entry));
    auto chosen = chooseThumbnailImage(facts, std::max(size, 1));
    if (!chosen && facts.empty())
        return noImages(index);
    if (!chosen)
        return tl::unexpected(facts.front().error());
    const IconDirEntry& entry = group->entries[*chosen];
    auto bytes = file.imageBytes(entry);
    if (!bytes)
        return tl::unexpected(bytes.error());
    if (auto picture = picturePng(*bytes, size))
        return std::move(*picture);
    auto picture = decodeImage(*bytes);
    auto thumbnail = picture ? fitThumbnail(*picture, size) : picture;
    if (!thumbnail)
        return failAt(entry.place(), thumbnail.error());
    return encodePng(*thumbnail, PngKind::Rgba);
}

} // namespace quorvane::icons
