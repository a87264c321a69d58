// libFuzzer entry: file bytes into every path of the icon reader.
#include "FuzzTarget.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quorvane::fuzz::readIcons(std::span<const std::uint8_t>(data, size));
    return 0;
}
