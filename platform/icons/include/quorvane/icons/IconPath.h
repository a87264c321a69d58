// A file opened by its path for its icons, and where they are read from: the file itself, or
// for a Windows module that keeps its resources in a file of their own, that file.
#pragma once

#include "quorvane/icons/IconFile.h"
#include "quorvane/icons/Source.h"

#include <memory>
#include <string>

namespace quorvane::icons {

struct PathIcons {
    std::unique_ptr<FileSource> source; // the file the icons are read from
    Result<IconFile> file;              // its icons, or the reader's error for a file without
    std::string path;                   // that file's path
};

// Opens PATH: NotFound or Unreadable when it cannot be read, otherwise its icons. Since Windows
// 10, many system modules (imageres.dll, shell32.dll, notepad.exe…) hold no icons of their own;
// their resources lie in SystemResources/NAME.mun, in the folder above the module's own folder
// (Windows/System32/imageres.dll: Windows/SystemResources/imageres.dll.mun). A PE file without
// icon groups whose resource configuration (IconFile::muiChecksum) has the same checksum as
// that file's, a PE file too, gets its icons from there. Both names are matched without regard
// to case, as Windows' spelling of them varies. A file with icon groups of its own is never
// followed, nor is the file followed to, and a .mun without icon groups is not taken.
Result<PathIcons> openIcons(const std::string& path);

} // namespace quorvane::icons
