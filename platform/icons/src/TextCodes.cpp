// Resource names as UTF-8.
#include "TextCodes.h"

namespace quorvane::icons {
namespace {

void appendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

std::string utf16ToUtf8(std::span<const std::uint8_t> units) {
    const std::size_t count = units.size() / 2;
    auto unit = [&units](std::size_t i) -> std::uint32_t {
        return units[2 * i] | (std::uint32_t{units[2 * i + 1]} << 8);
    };
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t c = unit(i);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < count) {
            const std::uint32_t low = unit(i + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (c >= 0xD800 && c <= 0xDFFF)
            c = 0xFFFD; // a lone surrogate
        appendUtf8(out, c);
    }
    return out;
}

std::string latin1ToUtf8(std::span<const std::uint8_t> chars) {
    std::string out;
    for (std::uint8_t c : chars)
        appendUtf8(out, c);
    return out;
}

} // namespace quorvane::icons
