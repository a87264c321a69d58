// Output files that are there whole or not at all: written under a temporary name of their own
// and renamed into place, or written in place and removed again when writing fails.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace quorvane::tool {

enum class Placement {
    // A new file beside the target, created exclusively, renamed over the target once complete.
    // A target that is a link is followed, so that the link stays; one that exists and is not a
    // regular file (a device such as /dev/stdout, a pipe) is written in place, since renaming
    // over it would replace it.
    Replace,
    // The target itself, created or truncated: a thumbnail service may have made the file and
    // read it back through a descriptor of its own, which a renamed file would miss.
    InPlace,
};

class OutputFile {
  public:
    OutputFile(const std::string& path, Placement placement);
    // Removes what was written unless the file was committed.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // False, with why(), when the bytes cannot be written.
    bool write(std::span<const std::uint8_t> bytes);
    // Completes the file, renaming it into place when replacing; false, with why(), when it
    // cannot be completed (nothing is left then).
    bool commit();
    // What went wrong first, in the system's words.
    const std::string& why() const { return m_why; }

  private:
    void failed(int error);

    std::string m_target;
    std::string m_written; // the file the bytes go to: the target, or the temporary beside it
    int m_fd = -1;
    bool m_inPlace = false;
    bool m_created = false; // whether m_written did not exist before
    bool m_committed = false;
    std::string m_why;
};

// Makes a new, empty folder of its own inside `parent`, named `.PREFIX` and random characters;
// its path, or empty (with errno set) when it cannot be made.
std::string makeTemporaryFolder(const std::string& parent, const std::string& prefix);

} // namespace quorvane::tool
