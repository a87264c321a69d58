// The help viewer: one Qt Assistant process, started on demand for one help collection.
#include "HelpViewer.h"

#include "SystemServices.h"
#include "WindowManager.h"
#include "Windowing.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QScreen>
#include <QStandardPaths>

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

namespace quorvane::platform {
namespace {

QString viewerProgram() {
    return QLibraryInfo::path(QLibraryInfo::BinariesPath) + QStringLiteral("/assistant");
}

// The viewer left running when the program ends; kept here so that it is not lost.
QProcess* g_leftRunning = nullptr;

struct Viewer {
    std::unique_ptr<QProcess> process;
    QString collection;
    QString homePage; // the collection's contents topic, read once when the viewer starts

    // The program's end leaves the viewer running: only HELP_QUIT ends it. (QProcess would
    // kill its process when destroyed.)
    ~Viewer() { g_leftRunning = process.release(); }
};

Viewer& viewer() {
    static Viewer v;
    return v;
}

bool running() {
    return viewer().process && viewer().process->state() != QProcess::NotRunning;
}

// Ends the viewer as its user would: its windows are asked to close, so that it keeps its size
// and place for the next time. A viewer that does not end then is ended by signals.
void quitViewer() {
    if (!running())
        return;
    QProcess& process = *viewer().process;
    if (closeWindowsOf(process.processId()) && process.waitForFinished(3000))
        return;
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(1000);
    }
}

// The page the collection names as its start: the contents topic. A help collection is an
// SQLite database whose settings table holds it as text; it is read directly, opened read-only,
// so the program needs no help engine of its own. Empty when the file is not such a collection.
QString homePage(const QString& collection) {
    sqlite3* database = nullptr;
    const int opened = sqlite3_open_v2(QFile::encodeName(collection).constData(), &database,
                                       SQLITE_OPEN_READONLY, nullptr);
    const std::unique_ptr<sqlite3, int (*)(sqlite3*)> closer(database, sqlite3_close);
    if (opened != SQLITE_OK)
        return {};
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(database,
                           "SELECT Value FROM SettingsTable WHERE Key = 'defaultHomepage'", -1,
                           &statement, nullptr) != SQLITE_OK)
        return {};
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> finaliser(statement,
                                                                          sqlite3_finalize);
    if (sqlite3_step(statement) != SQLITE_ROW || sqlite3_column_type(statement, 0) != SQLITE_TEXT)
        return {};
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    return QString::fromUtf8(text, sqlite3_column_bytes(statement, 0));
}

// The viewer's command line for the collection at `path`.
QStringList viewerArguments(const QString& path) {
    QStringList arguments = {QStringLiteral("-collectionFile"), path,
                             QStringLiteral("-enableRemoteControl")};
    // The first time, the viewer has no size of its own: it opens in the middle of the screen
    // at a size where the page, not the contents tree beside it, is the main thing on screen.
    // Later it keeps its user's size, which it stores in its own copy of the collection (the
    // collection's cache directory, under the user's data folder).
    const QString ownCopy = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                            QStringLiteral("/Quorvane/help/") + QFileInfo(path).fileName();
    // -geometry is an X11 option: on another platform the viewer would refuse it and end.
    if (!QFileInfo::exists(ownCopy) && QGuiApplication::platformName() == QLatin1String("xcb") &&
        QGuiApplication::primaryScreen()) {
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        const int width = std::min(900, screen.width() * 9 / 10);
        const int height = std::min(680, screen.height() * 17 / 20);
        arguments << QStringLiteral("-geometry")
                  << QStringLiteral("%1x%2+%3+%4")
                         .arg(width)
                         .arg(height)
                         .arg(screen.x() + (screen.width() - width) / 2)
                         .arg(screen.y() + (screen.height() - height) / 2);
    }
    return arguments;
}

// Starts the viewer for the collection unless it already shows it; false when it cannot start.
bool ensureViewer(const QString& collection) {
    const QString path = QFileInfo(collection).absoluteFilePath();
    if (running() && viewer().collection == path)
        return true;
    quitViewer();
    auto process = std::make_unique<QProcess>();
    // The viewer speaks the program's language.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LANGUAGE"), QStringLiteral("ja"));
    environment.insert(QStringLiteral("LC_MESSAGES"), QStringLiteral("ja_JP.UTF-8"));
    process->setProcessEnvironment(environment);
    process->setProgram(viewerProgram());
    process->setArguments(viewerArguments(path));
    // The viewer lives on its own: in a session of its own, so that a signal to the
    // program's process group does not reach it, and with no output into the program, so
    // that it never writes into a pipe that the program's end has closed. Its input stays
    // the remote-control channel; at the program's end the viewer reads the end of it and
    // goes on.
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    process->setChildProcessModifier([] { ::setsid(); });
    process->start();
    if (!process->waitForStarted(5000)) {
        MsgBox(QStringLiteral("ヘルプ ビューアを起動できません。"), vbExclamation,
               QCoreApplication::applicationName());
        return false;
    }
    viewer().process = std::move(process);
    viewer().collection = path;
    viewer().homePage = homePage(path);
    return true;
}

void send(const QString& commands) {
    viewer().process->write((commands + QLatin1Char('\n')).toUtf8());
}

} // namespace

std::int32_t WinHelpA(const QWidget*, const QString& lpszHelp, std::uint32_t uCommand,
                      std::uintptr_t dwData) {
    if (services().help) {
        services().help({lpszHelp, uCommand, dwData});
        return 1;
    }
    switch (uCommand) {
    case HELP_CONTENTS: {
        if (!ensureViewer(lpszHelp))
            return 0;
        QString commands = QStringLiteral("show contents");
        if (!viewer().homePage.isEmpty())
            commands += QStringLiteral(";setSource ") + viewer().homePage;
        send(commands);
        return 1;
    }
    case HELP_KEY:
    case HELP_PARTIALKEY:
        // Without a keyword (data 0) both show the keyword index. (Its search box keeps what the
        // user last typed there: the viewer's remote control cannot empty it, as it reads an
        // empty keyword as the command's own name.)
        if (!ensureViewer(lpszHelp))
            return 0;
        send(QStringLiteral("show index"));
        return 1;
    case HELP_QUIT:
        quitViewer();
        return 1;
    default:
        return 0;
    }
}

const QProcess* helpViewerProcess() {
    return running() ? viewer().process.get() : nullptr;
}

} // namespace quorvane::platform
