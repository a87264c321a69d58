// Error values of the icon reader: every failure is a value that keeps its first cause.
#pragma once

#include <tl/expected.hpp>

namespace quorvane::icons {

enum class IconError {
    NotFound,    // no such file
    Unreadable,  // exists but cannot be opened or read, or is not a regular file
    NotIconFile, // not a PE, NE or ICO file, or one without icon resources
    Malformed,   // a header, directory or offset that does not hold together
    OutOfRange,  // no group or image with that index or id
    TooLarge,    // a size or count beyond the reader's limits
    Undecodable, // image bytes that are not a supported DIB or PNG
    WriteFailed, // an output that cannot be written
};

const char* describe(IconError error);

template <typename T> using Result = tl::expected<T, IconError>;

inline tl::unexpected<IconError> fail(IconError error) {
    return tl::unexpected<IconError>(error);
}

} // namespace quorvane::icons
