// PNG decoding through libpng's progressive reader, PNG encoding, and the walk over a PNG's
// chunks that decides what libpng gets to see.
#include "Png.h"
#include "quorvane/icons/PngFiles.h"

#include <algorithm>
#include <array>
#include <bit>
#include <libdeflate.h>
#include <memory>
#include <png.h>
#include <string>
#include <vector>
#include <zlib.h>

namespace quorvane::icons {
namespace {

// A chunk's length and type come before its data, its CRC after.
constexpr std::size_t kChunkHeadBytes = 8;
constexpr std::size_t kChunkFrameBytes = 12;

constexpr std::uint32_t chunkType(const char (&name)[5]) {
    return (std::uint32_t(std::uint8_t(name[0])) << 24) |
           (std::uint32_t(std::uint8_t(name[1])) << 16) |
           (std::uint32_t(std::uint8_t(name[2])) << 8) | std::uint32_t(std::uint8_t(name[3]));
}
constexpr std::uint32_t kIHDR = chunkType("IHDR");
constexpr std::uint32_t kPLTE = chunkType("PLTE");
constexpr std::uint32_t ktRNS = chunkType("tRNS");
constexpr std::uint32_t kIDAT = chunkType("IDAT");
constexpr std::uint32_t kIEND = chunkType("IEND");

// IHDR's data: width, height, bit depth, colour type, compression, filter and interlace
// methods, 13 bytes.
constexpr std::size_t kIhdrBytes = 13;
constexpr std::uint8_t kColourTypeRgb = 2;
constexpr std::uint8_t kColourTypeRgba = 6;
// Filter types 0 to 4: none, sub, up, average, Paeth.
constexpr std::uint8_t kLastFilterType = 4;

// How much compressed data libpng gets at a time: once every row is there, the rest of the
// file is left alone, so data that would inflate past the picture costs at most this much
// more (some 4 MB of inflated output).
constexpr std::size_t kPushBytes = 4096;

std::uint32_t bigEndian32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return (std::uint32_t(bytes[at]) << 24) | (std::uint32_t(bytes[at + 1]) << 16) |
           (std::uint32_t(bytes[at + 2]) << 8) | std::uint32_t(bytes[at + 3]);
}

struct Chunk {
    std::uint32_t type = 0;
    std::span<const std::uint8_t> bytes; // length, type, data and CRC
    bool whole = true;                   // false when the file ends inside it

    // The decoder cannot do without a critical chunk: its name starts with a capital letter.
    bool critical() const { return (type & 0x20000000u) == 0; }
};

// Calls visit with each chunk after the signature, up to IEND; the last may be cut short by the
// end of the bytes. The walk reads only chunk headers: a chunk costs nothing but its length.
template <typename Visit> void forEachChunk(std::span<const std::uint8_t> png, Visit visit) {
    std::size_t at = std::min(png.size(), kPngSignature.size());
    while (png.size() - at >= kChunkHeadBytes) {
        const std::uint32_t type = bigEndian32(png, at + 4);
        const std::uint64_t end = std::uint64_t(at) + kChunkFrameBytes + bigEndian32(png, at);
        const bool whole = end <= png.size();
        const std::size_t stop = whole ? static_cast<std::size_t>(end) : png.size();
        visit(Chunk{type, png.subspan(at, stop - at), whole});
        if (!whole || type == kIEND)
            return;
        at = stop;
    }
}

// The signature and the chunks that make the picture: the critical ones and tRNS.
std::vector<std::uint8_t> pictureChunks(std::span<const std::uint8_t> png) {
    std::vector<std::uint8_t> kept(kPngSignature.begin(), kPngSignature.end());
    forEachChunk(png, [&kept](const Chunk& chunk) {
        if (chunk.critical() || chunk.type == ktRNS)
            kept.insert(kept.end(), chunk.bytes.begin(), chunk.bytes.end());
    });
    return kept;
}

// What libpng's callbacks gather. It lives on the heap: libpng leaves a failed decode through
// longjmp, after which local variables changed since setjmp cannot be trusted.
struct Decoding {
    Result<IconBitmap> bitmap = fail(IconError::Undecodable, "PNG: no IHDR");
    std::uint64_t rowsExpected = 0;
    std::uint64_t rowsSeen = 0;
    std::string error; // libpng's words for the first error

    bool complete() const { return bitmap && rowsSeen == rowsExpected; }
};

[[noreturn]] void onError(png_structp png, png_const_charp message) {
    auto& decoding = *static_cast<Decoding*>(png_get_error_ptr(png));
    if (decoding.error.empty())
        decoding.error = message ? message : "an error";
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

// The seven passes of an interlaced picture: the first column each takes, and the step to the
// next.
struct Pass {
    std::uint32_t column, columnStep;
};
constexpr std::array<Pass, 7> kAdam7 = {{{0, 8}, {4, 8}, {0, 4}, {2, 4}, {0, 2}, {1, 2}, {0, 1}}};

// How many of `length` positions a pass starting at `first` with `step` takes.
std::uint64_t taken(std::uint32_t length, std::uint32_t first, std::uint32_t step) {
    return length > first ? (length - first + step - 1) / step : 0;
}

// How many times libpng calls back with a row. With its interlace handling it calls once for
// every row of the picture in every pass that takes any column, with a row or with nothing.
std::uint64_t rowsToExpect(png_uint_32 width, png_uint_32 height, int passes) {
    if (passes == 1)
        return height;
    std::uint64_t rows = 0;
    for (const Pass& pass : kAdam7) {
        if (taken(width, pass.column, pass.columnStep) > 0)
            rows += height;
    }
    return rows;
}

// IHDR is in: the picture is made within the budget before a row is inflated, and libpng is
// told to give 8 bits a channel, in the byte order of the pixels' 0xAARRGGBB words.
void onInfo(png_structp png, png_infop info) {
    auto& decoding = *static_cast<Decoding*>(png_get_progressive_ptr(png));
    // libpng takes no side above 2^31 - 1: both fit an int.
    const auto width = static_cast<int>(png_get_image_width(png, info));
    const auto height = static_cast<int>(png_get_image_height(png, info));
    decoding.bitmap = IconBitmap::create(width, height);
    if (!decoding.bitmap)
        png_error(png, "");
    png_set_expand(png); // palettes, fewer than 8 bits, and tRNS as alpha
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    if constexpr (std::endian::native == std::endian::little) {
        png_set_bgr(png);
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    } else {
        png_set_swap_alpha(png);
        png_set_filler(png, 0xFF, PNG_FILLER_BEFORE);
    }
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != std::size_t(width) * 4)
        png_error(png, "rows of an unexpected size");
    decoding.rowsExpected =
        rowsToExpect(static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), passes);
}

void onRow(png_structp png, png_bytep row, png_uint_32 rowNumber, int) {
    auto& decoding = *static_cast<Decoding*>(png_get_progressive_ptr(png));
    if (!decoding.bitmap || rowNumber >= png_uint_32(decoding.bitmap->height()))
        return;
    ++decoding.rowsSeen;
    auto* pixels = reinterpret_cast<png_bytep>(decoding.bitmap->row(static_cast<int>(rowNumber)));
    if (row)
        png_progressive_combine_row(png, pixels, row);
}

// Hands bytes to libpng; false when it finds an error. Nothing here may need destroying:
// libpng leaves through longjmp, its only way of reporting an error.
bool push(png_structp png, png_infop info, std::uint8_t* bytes, std::size_t size) {
    if (setjmp(png_jmpbuf(png))) // NOLINT(cert-err52-cpp)
        return false;
    png_process_data(png, info, bytes, size);
    return true;
}

struct Reader {
    png_structp png;
    png_infop info;

    explicit Reader(Decoding* decoding)
        : png(png_create_read_struct(PNG_LIBPNG_VER_STRING, decoding, onError, onWarning)),
          info(png ? png_create_info_struct(png) : nullptr) {}
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;
    ~Reader() { png_destroy_read_struct(&png, &info, nullptr); }
};

} // namespace

Result<IconBitmap> decodePng(std::span<const std::uint8_t> bytes) {
    std::vector<std::uint8_t> picture = pictureChunks(bytes);
    auto decoding = std::make_unique<Decoding>();
    Reader reader(decoding.get());
    if (!reader.info)
        return fail(IconError::Undecodable, "PNG: libpng cannot start");
    png_set_progressive_read_fn(reader.png, decoding.get(), onInfo, onRow, nullptr);
    bool failed = false;
    for (std::size_t at = 0; at < picture.size() && !failed && !decoding->complete();
         at += kPushBytes) {
        const std::size_t size = std::min(kPushBytes, picture.size() - at);
        failed = !push(reader.png, reader.info, picture.data() + at, size);
    }
    if (!decoding->bitmap)
        return failAt("PNG", decoding->bitmap.error());
    if (!decoding->complete())
        return fail(IconError::Undecodable,
                    "PNG: " + (decoding->error.empty() ? std::string("the data ends before the "
                                                                     "last row")
                                                       : decoding->error));
    IconBitmap& bitmap = *decoding->bitmap;
    // The mask of a PNG icon follows its alpha: fully transparent pixels show the screen.
    std::span<std::uint8_t> mask = bitmap.writableMask();
    std::span<const std::uint32_t> pixels = bitmap.pixels();
    for (std::size_t i = 0; i < pixels.size(); ++i)
        mask[i] = (pixels[i] >> 24) == 0 ? 1 : 0;
    bitmap.setHasAlpha(true);
    return std::move(bitmap);
}

Result<std::vector<std::uint8_t>> encodePng(const IconBitmap& picture, PngKind kind) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<std::uint32_t>(picture.width());
    image.height = static_cast<std::uint32_t>(picture.height());
    // The pixels' 0xAARRGGBB words are BGRA bytes on a little-endian machine, ARGB bytes on a
    // big-endian one. An RGB file is written from rows of three bytes a pixel.
    image.format = std::endian::native == std::endian::little ? PNG_FORMAT_BGRA : PNG_FORMAT_ARGB;
    std::vector<std::uint8_t> rows;
    const void* buffer = picture.pixels().data();
    if (kind == PngKind::Rgb) {
        image.format = PNG_FORMAT_RGB;
        rows.reserve(picture.pixels().size() * 3);
        for (std::uint32_t p : picture.pixels())
            rows.insert(rows.end(),
                        {static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8),
                         static_cast<std::uint8_t>(p)});
        buffer = rows.data();
    }
    // Room for the largest PNG these pixels can make, so that they are compressed once.
    png_alloc_size_t size = PNG_IMAGE_PNG_SIZE_MAX(image);
    std::vector<std::uint8_t> encoded(size);
    // Thumbnails and renders are small and short-lived: speed matters more than a few bytes.
    image.flags |= PNG_IMAGE_FLAG_FAST;
    if (!png_image_write_to_memory(&image, encoded.data(), &size, 0, buffer, 0, nullptr))
        return fail(IconError::WriteFailed, std::string("PNG: ") + image.message);
    encoded.resize(size);
    // libpng adds an sRGB chunk, which says what readers assume anyway: the file keeps only
    // the picture.
    return pictureChunks(encoded);
}

namespace {

// Whether the compressed rows inflate to exactly `rows` rows of `rowBytes`, each row's filter
// type one of PNG's, with nothing after the zlib stream: its Adler-32 checked by libdeflate,
// which inflates a whole buffer faster than zlib does.
bool inflatesToRows(std::span<const std::uint8_t> compressed, std::size_t rowBytes,
                    std::uint32_t rows) {
    const std::size_t expected = (rowBytes + 1) * rows;
    std::vector<std::uint8_t> inflated(expected);
    const std::unique_ptr<libdeflate_decompressor, void (*)(libdeflate_decompressor*)> decompressor(
        libdeflate_alloc_decompressor(), libdeflate_free_decompressor);
    std::size_t read = 0;
    std::size_t written = 0;
    if (!decompressor ||
        libdeflate_zlib_decompress_ex(decompressor.get(), compressed.data(), compressed.size(),
                                      inflated.data(), inflated.size(), &read,
                                      &written) != LIBDEFLATE_SUCCESS ||
        read != compressed.size() || written != expected)
        return false;
    for (std::size_t row = 0; row < rows; ++row)
        if (inflated[row * (rowBytes + 1)] > kLastFilterType)
            return false;
    return true;
}

} // namespace

std::optional<std::vector<std::uint8_t>> picturePng(std::span<const std::uint8_t> bytes,
                                                    int largestSide) {
    std::vector<std::uint8_t> kept(kPngSignature.begin(), kPngSignature.end());
    std::vector<std::uint8_t> compressed;
    bool sound = imageFormat(bytes) == ImageFormat::Png;
    bool ended = false;
    int dataRuns = 0; // runs of consecutive IDAT chunks: PNG allows one
    std::uint32_t previous = 0;
    std::span<const std::uint8_t> header;
    forEachChunk(bytes, [&](const Chunk& chunk) {
        const std::size_t dataBytes =
            chunk.bytes.size() - std::min(chunk.bytes.size(), kChunkFrameBytes);
        const auto data =
            chunk.bytes.subspan(std::min(chunk.bytes.size(), kChunkHeadBytes), dataBytes);
        const bool first = kept.size() == kPngSignature.size();
        const bool picture = chunk.type == kIHDR || chunk.type == kPLTE || chunk.type == ktRNS ||
                             chunk.type == kIDAT || chunk.type == kIEND;
        sound =
            sound && chunk.whole && first == (chunk.type == kIHDR) &&
            (picture || !chunk.critical()) &&
            (!picture || bigEndian32(chunk.bytes, kChunkHeadBytes + dataBytes) ==
                             crc32(0, chunk.bytes.data() + 4, static_cast<uInt>(dataBytes + 4)));
        dataRuns += chunk.type == kIDAT && previous != kIDAT;
        previous = chunk.type;
        sound = sound && dataRuns <= 1;
        if (!sound || !picture)
            return;
        if (chunk.type == kIHDR)
            header = data;
        if (chunk.type == kIDAT)
            compressed.insert(compressed.end(), data.begin(), data.end());
        ended = chunk.type == kIEND;
        kept.insert(kept.end(), chunk.bytes.begin(), chunk.bytes.end());
    });
    if (!sound || !ended || header.size() != kIhdrBytes)
        return std::nullopt;
    const std::uint32_t width = bigEndian32(header, 0);
    const std::uint32_t height = bigEndian32(header, 4);
    const std::uint8_t colourType = header[9];
    const std::size_t channels = colourType == kColourTypeRgba ? 4 : 3;
    if (header[8] != 8 || (colourType != kColourTypeRgb && colourType != kColourTypeRgba) ||
        header[10] != 0 || header[11] != 0 || header[12] != 0 || width < 1 || height < 1 ||
        std::max(width, height) > std::uint32_t(largestSide) ||
        std::uint64_t{width} * height > kMaxImagePixels ||
        !inflatesToRows(compressed, width * channels, height))
        return std::nullopt;
    return kept;
}

} // namespace quorvane::icons
