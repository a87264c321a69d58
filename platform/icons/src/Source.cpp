// Bounded reads from files and memory.
#include "quorvane/icons/Source.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane::icons {

Result<std::vector<std::uint8_t>> Source::read(std::uint64_t offset, std::uint64_t length) const {
    if (length > kMaxReadBytes)
        return fail(IconError::TooLarge);
    if (offset > size() || length > size() - offset)
        return fail(IconError::Malformed);
    std::vector<std::uint8_t> bytes(length);
    if (!readInto(offset, bytes))
        return fail(IconError::Unreadable);
    return bytes;
}

Result<std::vector<std::uint8_t>> Source::readUpTo(std::uint64_t offset,
                                                   std::uint64_t length) const {
    if (offset > size())
        return fail(IconError::Malformed);
    return read(offset, std::min(length, size() - offset));
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
                                                        : IconError::Unreadable);
    // Opening a FIFO or a device can block or have side effects: only regular files are opened.
    if (!S_ISREG(before.st_mode))
        return fail(IconError::Unreadable);
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return fail(errno == ENOENT ? IconError::NotFound : IconError::Unreadable);
    struct stat after{};
    // The path may have been replaced between stat and open.
    if (::fstat(fd, &after) != 0 || !S_ISREG(after.st_mode)) {
        ::close(fd);
        return fail(IconError::Unreadable);
    }
    return std::unique_ptr<FileSource>(
        new FileSource(fd, static_cast<std::uint64_t>(after.st_size)));
}

FileSource::~FileSource() {
    ::close(m_fd);
}

bool FileSource::readInto(std::uint64_t offset, std::span<std::uint8_t> out) const {
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
