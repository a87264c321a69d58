// GlobalMemoryStatusEx: the physical memory of this machine, kept in 64 bits.
#pragma once

#include <cstdint>

namespace quorvane::platform {

struct MEMORYSTATUSEX {
    std::uint32_t dwLength = 0;
    std::uint32_t dwMemoryLoad = 0;
    std::uint64_t ullTotalPhys = 0;
    std::uint64_t ullAvailPhys = 0;
    std::uint64_t ullTotalPageFile = 0;
    std::uint64_t ullAvailPageFile = 0;
    std::uint64_t ullTotalVirtual = 0;
    std::uint64_t ullAvailVirtual = 0;
    std::uint64_t ullAvailExtendedVirtual = 0;
};
static_assert(sizeof(MEMORYSTATUSEX) == 64);

// Fills the total and available physical memory from the kernel; returns nonzero.
std::int32_t GlobalMemoryStatusEx(MEMORYSTATUSEX* lpBuffer);

} // namespace quorvane::platform
