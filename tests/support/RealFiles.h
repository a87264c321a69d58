// Windows files that Debian packages install (wine, fonts-wine, nsis), used as test oracles,
// and whole-file reads and writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvane::testing {

inline const std::string kWineDir = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows";
inline const std::string kWineFontsDir = "/usr/share/wine/fonts";
inline const std::string kNsisDir = "/usr/share/nsis";

std::vector<std::uint8_t> readWholeFile(const std::string& path);
void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

} // namespace quorvane::testing
