// Counting and extracting icons from a file, on top of IconFile and the image decoders.
#include "IconReader.h"

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

Result<IconBitmap> thumbnailIcon(const IconFile& file, std::uint32_t index, int size) {
    if (size < 1 || size > kMaxDrawSize)
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
    auto bitmap = decodeImage(*bytes);
    if (!bitmap)
        return fail(bitmap.error());
    IconBitmap picture = maskAsAlpha(*bitmap);
    const int side = std::max(picture.width(), picture.height());
    if (side <= size)
        return picture;
    // Proportions kept, rounded to the nearest pixel, at least one.
    auto scaled = [&](int length) { return std::max(1, (length * size + side / 2) / side); };
    return scaleTo(picture, scaled(picture.width()), scaled(picture.height()));
}

Result<IconBitmap> extractIcon(const std::string& path, std::uint32_t index) {
    auto source = FileSource::open(path);
    if (!source)
        return fail(source.error());
    return extractIcon(**source, index);
}

} // namespace quorvane::icons
