// Resource names as UTF-8: PE names are UTF-16, NE names one byte a character.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace quorvane::icons {

// UTF-16LE units (a lone surrogate becomes U+FFFD; an odd last byte is left out).
std::string utf16ToUtf8(std::span<const std::uint8_t> units);
// Bytes that are each a character's code (ISO 8859-1).
std::string latin1ToUtf8(std::span<const std::uint8_t> chars);

} // namespace quorvane::icons
