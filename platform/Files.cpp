// Files and processes over Qt.
#include "Files.h"

#include "RuntimeError.h"
#include "SystemServices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace quorvane::platform {

std::string systemPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString CurDir() {
    return QDir::currentPath();
}

bool ChDir(const QString& path) {
    return QDir::setCurrent(path);
}

QString Dir(const QString& pathName) {
    const QFileInfo info(pathName);
    if (pathName.isEmpty() || !info.exists() || !info.isFile() ||
        info.fileName().startsWith(QLatin1Char('.')))
        return {};
    return info.fileName();
}

void StartProgram(const QString& path) {
    const bool started = services().startProgram
                             ? services().startProgram(path)
                             : !path.isEmpty() && QProcess::startDetached(path, QStringList());
    if (!started)
        throw RuntimeError(kErrFileNotFound);
}

} // namespace quorvane::platform
