// Counting and extracting icons from a file, on top of IconFile and the image decoders.
#include "IconReader.h"

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
    auto file = IconFile::open(source);
    if (!file)
        return fail(file.error());
    auto group = file->group(index);
    if (!group)
        return fail(group.error());
    auto chosen = chooseImage(group->entries);
    if (!chosen)
        return fail(IconError::OutOfRange);
    auto bytes = file->imageBytes(group->entries[*chosen]);
    if (!bytes)
        return fail(bytes.error());
    auto bitmap = decodeImage(*bytes);
    if (!bitmap)
        return fail(bitmap.error());
    return scaleToIconSize(*bitmap);
}

Result<IconBitmap> extractIcon(const std::string& path, std::uint32_t index) {
    auto source = FileSource::open(path);
    if (!source)
        return fail(source.error());
    return extractIcon(**source, index);
}

} // namespace quorvane::icons
