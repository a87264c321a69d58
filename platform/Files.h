// Files and processes: the directory-listing file test and starting a program.
#pragma once

#include <QString>

#include <string>

namespace quorvane::platform {

// The file name of pathName when it names an existing ordinary file, as a directory listing
// with no extra attributes finds it: hidden files (a name starting with ".") and directories
// do not count. Empty otherwise.
QString Dir(const QString& pathName);

// The path in the form the system's file functions take: the locale's file-name encoding.
std::string systemPath(const QString& path);

// The process's current directory; ChDir makes another one current, false when it cannot.
QString CurDir();
bool ChDir(const QString& path);

// Starts the program that the path names, as one argument, with no arguments of its own and
// without a shell; detached, not waited for. Raises error 53 when it cannot be started.
void StartProgram(const QString& path);

} // namespace quorvane::platform
