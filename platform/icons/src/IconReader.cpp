// Counting and extracting icons from a file, on top of IconFile and the image decoders.
#include "quorvane/icons/IconReader.h"
#include "quorvane/icons/GroupFacts.h"
#include "quorvane/icons/PngFiles.h"
#include "quorvane/icons/Scaling.h"

#include "Png.h"

#include <algorithm>
#include <tuple>

namespace quorvane::icons {

std::uint32_t countIcons(const Source& source) {
    auto file = IconFile::open(source);
    return file ? file->groupCount() : 0;
}

std::uint32_t countIcons(const std::string& path) {
    auto source = FileSource::open(path);
    return source ? countIcons(**source) : 0;
}

Result<IconBitmap> extractIcon(const Source& source, std::uint32_t index) {
    return extractIcon(source, index, kIconSize);
}

Result<IconBitmap> extractIcon(const Source& source, std::uint32_t index, int size) {
    if (size < 1 || size > kMaxDrawSize)
        return fail(IconError::TooLarge);
    auto file = IconFile::open(source);
    if (!file)
        return fail(file.error());
    auto group = file->group(index);
    if (!group)
        return fail(group.error());
    auto chosen = chooseImage(group->entries, size);
    if (!chosen)
        return fail(IconError::OutOfRange);
    auto bytes = file->imageBytes(group->entries[*chosen]);
    if (!bytes)
        return fail(bytes.error());
    auto bitmap = decodeImage(*bytes);
    if (!bitmap)
        return fail(bitmap.error());
    return scaleTo(*bitmap, size, size);
}

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

namespace {

// The image of group `index` that suits a thumbnail of `size`: its bytes and its picture.
struct ThumbnailSource {
    std::vector<std::uint8_t> bytes;
    IconBitmap picture;
};

Result<ThumbnailSource> thumbnailSource(const IconFile& file, std::uint32_t index, int size) {
    if (size < 1)
        return fail(IconError::TooLarge);
    auto group = file.group(index);
    if (!group)
        return fail(group.error());
    std::vector<Result<ImageFacts>> facts;
    facts.reserve(group->entries.size());
    for (const IconDirEntry& entry : group->entries)
        facts.push_back(imageFacts(file, entry));
    auto chosen = chooseThumbnailImage(facts, size);
    if (!chosen)
        return fail(facts.empty() ? IconError::OutOfRange : facts.front().error());
    auto bytes = file.imageBytes(group->entries[*chosen]);
    if (!bytes)
        return fail(bytes.error());
    auto picture = decodeImage(*bytes);
    if (!picture)
        return fail(picture.error());
    return ThumbnailSource{std::move(*bytes), std::move(*picture)};
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

} // namespace

Result<std::vector<std::uint8_t>> thumbnailPng(const IconFile& file, std::uint32_t index,
                                               int size) {
    auto source = thumbnailSource(file, index, size);
    if (!source)
        return fail(source.error());
    // Decoded above, so known to be sound: a PNG that is already what a thumbnail is, and holds
    // nothing but its picture, is written as it is rather than encoded again.
    if (std::max(source->picture.width(), source->picture.height()) <= size) {
        if (auto plain = plainRgbaPng(source->bytes))
            return std::vector<std::uint8_t>(plain->begin(), plain->end());
    }
    auto thumbnail = fitThumbnail(source->picture, size);
    if (!thumbnail)
        return fail(thumbnail.error());
    return encodePng(*thumbnail, PngKind::Rgba);
}

Result<IconBitmap> extractIcon(const std::string& path, std::uint32_t index) {
    auto source = FileSource::open(path);
    if (!source)
        return fail(source.error());
    return extractIcon(**source, index);
}

} // namespace quorvane::icons
