// Bounds-checked reads over bytes that came from a file: whole records, or sub-views.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <type_traits>

namespace quorvane::icons {

class ByteReader {
  public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    std::size_t size() const { return m_bytes.size(); }
    std::span<const std::uint8_t> bytes() const { return m_bytes; }

    // True when [offset, offset + length) lies inside the bytes; written so that it cannot
    // overflow.
    bool has(std::uint64_t offset, std::uint64_t length) const {
        return offset <= m_bytes.size() && length <= m_bytes.size() - offset;
    }

    // The record stored at offset (one of records::), when it is all there.
    template <typename Record> std::optional<Record> record(std::uint64_t offset = 0) const {
        static_assert(std::is_trivially_copyable_v<Record> && alignof(Record) == 1);
        if (!has(offset, sizeof(Record)))
            return std::nullopt;
        Record out;
        std::memcpy(&out, m_bytes.data() + offset, sizeof(Record));
        return out;
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
