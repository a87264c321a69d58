// Error values of the icon reader: every failure is a value that keeps its first cause, its
// kind and a message that names the check that failed and where.
#pragma once

#include <tl/expected.hpp>

#include <cstdint>
#include <string>

namespace quorvane::icons {

enum class IconError {
    NotFound,    // no such file
    Unreadable,  // exists but cannot be opened or read, or is not a regular file
    NotIconFile, // not a PE, NE or ICO file
    Malformed,   // a header, directory or offset that does not hold together
    OutOfRange,  // no group or image with that index or id
    TooLarge,    // a size or count beyond the reader's limits
    Undecodable, // image bytes that are not a supported DIB or PNG
    WriteFailed, // an output that cannot be written
};

// The kind as one word for scripts: "not-found", "malformed", "too-large" and the like.
const char* kindName(IconError kind);

struct Error {
    IconError kind = IconError::Malformed;
    // The check and the place: "group 3, entry 7: image 18962 starts past the end of the file
    // (offset 912384, file 901120)".
    std::string message;
};

template <typename T> using Result = tl::expected<T, Error>;

inline tl::unexpected<Error> fail(IconError kind, std::string message) {
    return tl::unexpected<Error>(Error{kind, std::move(message)});
}

// The error with the place it happened in before its message: "PLACE: MESSAGE".
inline tl::unexpected<Error> failAt(const std::string& place, const Error& error) {
    return fail(error.kind, place + ": " + error.message);
}

// A number as "0x" and hexadecimal digits, for addresses.
std::string hex(std::uint64_t value);

} // namespace quorvane::icons
