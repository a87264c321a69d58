// Where the icon reader gets its bytes: a file read with bounded positional reads, or memory.
#pragma once

#include "quorvane/icons/Result.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace quorvane::icons {

class Source {
  public:
    virtual ~Source() = default;
    virtual std::uint64_t size() const = 0;
    // Fills out from offset; false when the bytes are not all there (also when the file shrank).
    virtual bool readInto(std::uint64_t offset, std::span<std::uint8_t> out) const = 0;

    // Fills out with the bytes at offset: Malformed when they lie outside the source, TooLarge
    // past 16 MiB, Unreadable when the read itself fails.
    Result<void> readExactly(std::uint64_t offset, std::span<std::byte> out) const;
    // length bytes at offset, with readExactly's errors.
    Result<std::vector<std::uint8_t>> read(std::uint64_t offset, std::uint64_t length) const;

  private:
    // readExactly once the bytes are known to lie inside the source, within one read's limit.
    Result<void> readChecked(std::uint64_t offset, std::span<std::byte> out) const;
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

// A file, read in aligned blocks that it keeps: the headers, directories and images that one
// command reads mostly lie in a few of them, and every system call costs.
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
    struct Block {
        std::uint64_t start = UINT64_MAX;
        std::vector<std::uint8_t> bytes; // fewer than a block's at the end of the file
    };
    FileSource(int fd, std::uint64_t size) : m_fd(fd), m_size(size) {}
    bool readDirect(std::uint64_t offset, std::span<std::uint8_t> out) const;
    int m_fd;
    std::uint64_t m_size;
    // Not thread-safe: a source serves one caller at a time.
    mutable std::array<Block, 2> m_blocks;
    mutable std::size_t m_lastUsed = 0;
};

} // namespace quorvane::icons
