// What `list` prints, as lines or as JSON, and the quoting that keeps a file's bytes from
// reaching a terminal as anything but text.
#pragma once

#include "quorvane/icons/IconFile.h"

#include <ostream>
#include <string>
#include <string_view>

namespace quorvane::tool {

// TEXT (UTF-8) ready to stand between double quotes, in `list`'s lines, in JSON and in
// messages: quotes and backslashes are escaped with a backslash; control characters (C0, DEL,
// C1) and the characters that reorder text on screen (the bidirectional marks, embeddings,
// overrides and isolates) as \uXXXX; bytes that are not UTF-8 become \uFFFD.
std::string escaped(std::string_view text);
// TEXT with each character that escaped() writes as \uXXXX, and each "/", replaced by "_": a
// name that can be part of a file name and shows as it is.
std::string fileNameSafe(std::string_view text);

// Lists the icon groups of the file at `path`, read from the file at `source`: one line a
// group, its index, its id or quoted name and its images (width x height, bits per pixel, DIB
// or PNG, bytes), after a line `icons from "SOURCE"` when that is another file; or with json
// one JSON object. `file` is null for a file without icons.
void writeListing(std::ostream& out, const std::string& path, const std::string& source,
                  const icons::IconFile* file, bool json);

} // namespace quorvane::tool
