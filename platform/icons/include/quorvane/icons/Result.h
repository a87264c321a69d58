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

// A few words for messages: "no such file", "malformed file" and the like.
inline const char* describe(IconError error) {
    switch (error) {
    case IconError::NotFound:
        return "no such file";
    case IconError::Unreadable:
        return "cannot be read";
    case IconError::NotIconFile:
        return "not a file with icons";
    case IconError::Malformed:
        return "malformed file";
    case IconError::OutOfRange:
        return "no such icon";
    case IconError::TooLarge:
        return "beyond the reader's limits";
    case IconError::Undecodable:
        return "image cannot be decoded";
    case IconError::WriteFailed:
        return "cannot be written";
    }
    return "unknown error";
}

template <typename T> using Result = tl::expected<T, IconError>;

inline tl::unexpected<IconError> fail(IconError error) {
    return tl::unexpected<IconError>(error);
}

} // namespace quorvane::icons
