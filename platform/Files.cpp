// Files and processes over Qt.
#include "Files.h"

#include "RuntimeError.h"

#include <QFileInfo>
#include <QProcess>

namespace quorvane::platform {
namespace {

std::function<bool(const QString&)>& programStarter() {
    static std::function<bool(const QString&)> starter;
    return starter;
}

} // namespace

QString Dir(const QString& pathName) {
    const QFileInfo info(pathName);
    if (pathName.isEmpty() || !info.exists() || !info.isFile() ||
        info.fileName().startsWith(QLatin1Char('.')))
        return {};
    return info.fileName();
}

void StartProgram(const QString& path) {
    const bool started = programStarter()
                             ? programStarter()(path)
                             : !path.isEmpty() && QProcess::startDetached(path, QStringList());
    if (!started)
        throw RuntimeError(kErrFileNotFound);
}

void setProgramStarter(std::function<bool(const QString&)> starter) {
    programStarter() = std::move(starter);
}

} // namespace quorvane::platform
