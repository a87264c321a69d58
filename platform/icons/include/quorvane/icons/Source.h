// Where the icon reader gets its bytes: a file read with bounded positional reads, or memory.
#pragma once

#include "quorvane/icons/Result.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace quorvane::icons {

// The most bytes the reader takes from a file in one read.
inline constexpr std::uint64_t kMaxReadBytes = 16u << 20;

class Source {
  public:
    virtual ~Source() = default;
    virtual std::uint64_t size() const = 0;
    // Fills out from offset; false when the bytes are not all there (also when the file shrank).
    virtual bool readInto(std::uint64_t offset, std::span<std::uint8_t> out) const = 0;

    // length bytes at offset: Malformed when they lie outside the source, TooLarge past
    // kMaxReadBytes, Unreadable when the read itself fails.
    Result<std::vector<std::uint8_t>> read(std::uint64_t offset, std::uint64_t length) const;
    // Like read, but takes what there is when the source ends before offset + length.
    Result<std::vector<std::uint8_t>> readUpTo(std::uint64_t offset, std::uint64_t length) const;
};

class MemorySource final : public Source {
  public:
    // The bytes must outlive the source: it keeps only a view of them.
    explicit MemorySource(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}
    explicit MemorySource(std::vector<std::uint8_t>&& bytes) = delete;
    std::uint64_t size() const override { return m_bytes.size(); }
    bool readInto(std::uint64_t offset, std::span<std::uint8_t> out) const override;

  private:
    std::span<const std::uint8_t> m_bytes;
};

class FileSource final : public Source {
  public:
    // Opens a regular file for reading without ever blocking: NotFound for a missing path,
    // Unreadable for one that cannot be opened or is a directory, FIFO, socket or device.
    static Result<std::unique_ptr<FileSource>> open(const std::string& path);
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    std::uint64_t size() const override { return m_size; }
    bool readInto(std::uint64_t offset, std::span<std::uint8_t> out) const override;

  private:
    FileSource(int fd, std::uint64_t size) : m_fd(fd), m_size(size) {}
    int m_fd;
    std::uint64_t m_size;
};

} // namespace quorvane::icons
