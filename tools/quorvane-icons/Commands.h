// The commands of quorvane-icons. Each returns the exit status and prints at most one line on
// standard error; none leaves an output behind when it fails.
#pragma once

#include <cstdint>
#include <string>

namespace quorvane::tool {

inline constexpr int kExitOk = 0;
inline constexpr int kExitNoIcon = 1;
inline constexpr int kExitError = 2;

// Prints "quorvane-icons: MESSAGE" on standard error and returns kExitError.
int usageError(const std::string& message);

int count(const std::string& path);
int list(const std::string& path, bool json);
int render(const std::string& path, const std::string& index, const std::string& out, int size);
int extract(const std::string& path, const std::string& index, const std::string& out);
int extractAll(const std::string& path, const std::string& dir);
int thumbnail(const std::string& path, const std::string& out, int size);

} // namespace quorvane::tool
