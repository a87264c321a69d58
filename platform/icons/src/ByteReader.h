// Bounds-checked little-endian reads over bytes that came from a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace quorvane::icons {

class ByteReader {
  public:
    ByteReader() = default;
    explicit ByteReader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    std::size_t size() const { return m_bytes.size(); }
    std::span<const std::uint8_t> bytes() const { return m_bytes; }

    // True when [offset, offset + length) lies inside the bytes; written so that it cannot
    // overflow.
    bool has(std::uint64_t offset, std::uint64_t length) const {
        return offset <= m_bytes.size() && length <= m_bytes.size() - offset;
    }

    std::optional<std::uint8_t> u8(std::uint64_t offset) const {
        if (!has(offset, 1))
            return std::nullopt;
        return m_bytes[offset];
    }

    std::optional<std::uint16_t> u16(std::uint64_t offset) const {
        if (!has(offset, 2))
            return std::nullopt;
        return static_cast<std::uint16_t>(m_bytes[offset] | (m_bytes[offset + 1] << 8));
    }

    std::optional<std::uint32_t> u32(std::uint64_t offset) const {
        if (!has(offset, 4))
            return std::nullopt;
        return static_cast<std::uint32_t>(m_bytes[offset]) |
               (static_cast<std::uint32_t>(m_bytes[offset + 1]) << 8) |
               (static_cast<std::uint32_t>(m_bytes[offset + 2]) << 16) |
               (static_cast<std::uint32_t>(m_bytes[offset + 3]) << 24);
    }

    std::optional<std::int32_t> i32(std::uint64_t offset) const {
        auto value = u32(offset);
        if (!value)
            return std::nullopt;
        return static_cast<std::int32_t>(*value);
    }

    std::optional<ByteReader> sub(std::uint64_t offset, std::uint64_t length) const {
        if (!has(offset, length))
            return std::nullopt;
        return ByteReader(m_bytes.subspan(offset, length));
    }

  private:
    std::span<const std::uint8_t> m_bytes;
};

} // namespace quorvane::icons
