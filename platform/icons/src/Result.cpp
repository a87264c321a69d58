// The words of the reader's errors.
#include "quorvane/icons/Result.h"

#include <array>
#include <cstdio>

namespace quorvane::icons {

const char* kindName(IconError kind) {
    switch (kind) {
    case IconError::NotFound:
        return "not-found";
    case IconError::Unreadable:
        return "unreadable";
    case IconError::NotIconFile:
        return "not-icon-file";
    case IconError::Malformed:
        return "malformed";
    case IconError::OutOfRange:
        return "out-of-range";
    case IconError::TooLarge:
        return "too-large";
    case IconError::Undecodable:
        return "undecodable";
    case IconError::WriteFailed:
        return "write-failed";
    }
    return "unknown";
}

std::string hex(std::uint64_t value) {
    std::array<char, 24> text{};
    std::snprintf(text.data(), text.size(), "0x%llx", static_cast<unsigned long long>(value));
    return text.data();
}

} // namespace quorvane::icons
