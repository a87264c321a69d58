// Files and processes: the directory-listing file test and starting a program.
#pragma once

#include <QString>

#include <functional>

namespace quorvane::platform {

// The file name of pathName when it names an existing ordinary file, as a directory listing
// with no extra attributes finds it: hidden files (a name starting with ".") and directories
// do not count. Empty otherwise.
QString Dir(const QString& pathName);

// Starts the program that the path names, as one argument, with no arguments of its own and
// without a shell; detached, not waited for. Raises error 53 when it cannot be started.
void StartProgram(const QString& path);
// Replaces the process start (tests record what would start); returns whether it started.
void setProgramStarter(std::function<bool(const QString&)> starter);

} // namespace quorvane::platform
