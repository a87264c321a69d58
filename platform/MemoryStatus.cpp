// Physical memory from the kernel.
#include "MemoryStatus.h"

#include "SystemServices.h"

#include <unistd.h>

namespace quorvane::platform {
namespace {

std::uint64_t pagesToBytes(long pages) {
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    return pages > 0 && pageSize > 0 ? std::uint64_t(pages) * std::uint64_t(pageSize) : 0;
}

} // namespace

std::int32_t GlobalMemoryStatusEx(MEMORYSTATUSEX* lpBuffer) {
    lpBuffer->ullTotalPhys = services().totalPhysicalMemory
                                 ? services().totalPhysicalMemory()
                                 : pagesToBytes(::sysconf(_SC_PHYS_PAGES));
    lpBuffer->ullAvailPhys = pagesToBytes(::sysconf(_SC_AVPHYS_PAGES));
    if (lpBuffer->ullTotalPhys > 0 && lpBuffer->ullAvailPhys <= lpBuffer->ullTotalPhys)
        lpBuffer->dwMemoryLoad =
            static_cast<std::uint32_t>(100 - lpBuffer->ullAvailPhys * 100 / lpBuffer->ullTotalPhys);
    return 1;
}

} // namespace quorvane::platform
