// Bounded reads from files and memory.
#include "quorvane/icons/Source.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane::icons {
namespace {

// The most bytes the reader takes from a file in one read: a backstop behind the limits of
// each kind of read, which are all far smaller.
constexpr std::uint64_t kMaxReadBytes = 16u << 20;
// The blocks that a FileSource keeps, two of them.
constexpr std::uint64_t kBlockBytes = 64u << 10;

std::string bytesAt(std::uint64_t offset, std::uint64_t length) {
    return std::to_string(length) + " bytes at offset " + std::to_string(offset);
}

// Whether length bytes at offset can be read in one go.
Result<void> checkRead(const Source& source, std::uint64_t offset, std::uint64_t length) {
    if (length > kMaxReadBytes)
        return fail(IconError::TooLarge, bytesAt(offset, length) + ": more than the " +
                                             std::to_string(kMaxReadBytes >> 20) +
                                             " MiB that one read takes");
    if (offset > source.size() || length > source.size() - offset)
        return fail(IconError::Malformed, bytesAt(offset, length) +
                                              " run past the end of the file (size " +
                                              std::to_string(source.size()) + ")");
    return {};
}

} // namespace

Result<void> Source::readExactly(std::uint64_t offset, std::span<std::byte> out) const {
    if (auto checked = checkRead(*this, offset, out.size()); !checked)
        return checked;
    return readChecked(offset, out);
}

Result<std::vector<std::uint8_t>> Source::read(std::uint64_t offset, std::uint64_t length) const {
    if (auto checked = checkRead(*this, offset, length); !checked)
        return tl::unexpected(checked.error());
    std::vector<std::uint8_t> bytes(length);
    if (auto read = readChecked(offset, std::as_writable_bytes(std::span(bytes))); !read)
        return tl::unexpected(read.error());
    return bytes;
}

Result<void> Source::readChecked(std::uint64_t offset, std::span<std::byte> out) const {
    std::span<std::uint8_t> bytes(reinterpret_cast<std::uint8_t*>(out.data()), out.size());
    if (!readInto(offset, bytes))
        return fail(IconError::Unreadable, "reading " + bytesAt(offset, out.size()) + " failed");
    return {};
}

bool MemorySource::readInto(std::uint64_t offset, std::span<std::uint8_t> out) const {
    if (offset > m_bytes.size() || out.size() > m_bytes.size() - offset)
        return false;
    std::copy_n(m_bytes.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
    return true;
}

Result<std::unique_ptr<FileSource>> FileSource::open(const std::string& path) {
    struct stat before{};
    if (::stat(path.c_str(), &before) != 0)
        return fail(errno == ENOENT || errno == ENOTDIR ? IconError::NotFound
                                                        : IconError::Unreadable,
                    std::strerror(errno));
    // Opening a FIFO or a device can block or have side effects: only regular files are opened.
    if (!S_ISREG(before.st_mode))
        return fail(IconError::Unreadable, "not a regular file");
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return fail(errno == ENOENT ? IconError::NotFound : IconError::Unreadable,
                    std::strerror(errno));
    struct stat after{};
    // The path may have been replaced between stat and open.
    if (::fstat(fd, &after) != 0 || !S_ISREG(after.st_mode)) {
        ::close(fd);
        return fail(IconError::Unreadable, "not a regular file");
    }
    return std::unique_ptr<FileSource>(
        new FileSource(fd, static_cast<std::uint64_t>(after.st_size)));
}

FileSource::~FileSource() {
    ::close(m_fd);
}

bool FileSource::readInto(std::uint64_t offset, std::span<std::uint8_t> out) const {
    const std::uint64_t start = offset & ~(kBlockBytes - 1);
    if (out.size() > kBlockBytes || offset - start + out.size() > kBlockBytes)
        return readDirect(offset, out);
    std::size_t slot = m_blocks[0].start == start ? 0 : 1;
    if (m_blocks[slot].start != start) {
        slot = 1 - m_lastUsed;
        Block& block = m_blocks[slot];
        block.start = UINT64_MAX;
        block.bytes.resize(
            static_cast<std::size_t>(std::min(kBlockBytes, m_size - std::min(start, m_size))));
        if (!readDirect(start, block.bytes))
            return false;
        block.start = start;
    }
    m_lastUsed = slot;
    const Block& block = m_blocks[slot];
    const std::size_t into = static_cast<std::size_t>(offset - start);
    if (into + out.size() > block.bytes.size())
        return false;
    std::copy_n(block.bytes.begin() + static_cast<std::ptrdiff_t>(into), out.size(), out.begin());
    return true;
}

bool FileSource::readDirect(std::uint64_t offset, std::span<std::uint8_t> out) const {
    std::size_t done = 0;
    while (done < out.size()) {
        ssize_t got =
            ::pread(m_fd, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false; // an error, or the file ended early (it may have been truncated)
        done += static_cast<std::size_t>(got);
    }
    return true;
}

} // namespace quorvane::icons
