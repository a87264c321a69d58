// Output files written whole or not at all, over POSIX files.
#include "OutputFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane::tool {
namespace {

// A temporary name keeps this much of the target's name, so that it stays within the length
// that a folder allows a name (255 bytes on Linux's file systems).
constexpr std::size_t kKeptNameBytes = 200;

// The permissions a new file gets from open(): 0666 less the process's umask.
mode_t newFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

OutputFile::OutputFile(const std::string& path, Placement placement) : m_target(path) {
    struct stat existing{};
    const bool exists = ::stat(path.c_str(), &existing) == 0;
    m_inPlace = placement == Placement::InPlace || (exists && !S_ISREG(existing.st_mode));
    if (m_inPlace) {
        m_written = path;
        m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        m_created = m_fd >= 0;
        if (m_fd < 0 && errno == EEXIST)
            m_fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY);
    } else {
        std::error_code ignored;
        std::filesystem::path target(path);
        if (std::filesystem::is_symlink(std::filesystem::symlink_status(target, ignored)))
            target = std::filesystem::weakly_canonical(target, ignored);
        m_target = target.string();
        const std::string name = target.filename().string().substr(0, kKeptNameBytes);
        m_written = (target.parent_path() / ("." + name + ".XXXXXX")).string();
        m_fd = ::mkostemp(m_written.data(), O_CLOEXEC);
        m_created = m_fd >= 0;
        if (m_created && ::fchmod(m_fd, newFileMode()) != 0)
            failed(errno);
    }
    if (m_fd < 0)
        failed(errno);
}

OutputFile::~OutputFile() {
    if (!m_committed && m_created) {
        ::unlink(m_written.c_str());
    } else if (!m_committed && m_fd >= 0) {
        // A file that was there before keeps none of a failed write.
        struct stat written{};
        if (::fstat(m_fd, &written) == 0 && S_ISREG(written.st_mode) && ::ftruncate(m_fd, 0) != 0)
            failed(errno);
    }
    if (m_fd >= 0)
        ::close(m_fd);
}

void OutputFile::failed(int error) {
    if (m_why.empty())
        m_why = std::strerror(error);
}

bool OutputFile::write(std::span<const std::uint8_t> bytes) {
    if (m_fd < 0 || !m_why.empty())
        return false;
    while (!bytes.empty()) {
        const ssize_t written = ::write(m_fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            failed(written < 0 ? errno : EIO);
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

bool OutputFile::commit() {
    if (m_fd < 0 || !m_why.empty())
        return false;
    const int closed = ::close(m_fd);
    m_fd = -1;
    if (closed != 0) {
        failed(errno);
        return false;
    }
    if (!m_inPlace && ::rename(m_written.c_str(), m_target.c_str()) != 0) {
        failed(errno);
        return false;
    }
    m_committed = true;
    return true;
}

std::string makeTemporaryFolder(const std::string& parent, const std::string& prefix) {
    std::string pattern = (std::filesystem::path(parent) / ("." + prefix + "XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr)
        return {};
    return pattern;
}

} // namespace quorvane::tool
