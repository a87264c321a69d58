// Start-up, open-to-paint and memory of the program's main window, against a bare Qt Widgets
// window of the same size in the same kind of process. Built three times: with QUORVANE_BARE
// the process shows only a plain QWidget; with QUORVANE_BARE_JAPANESE as well, the bare window
// holds one label with a Japanese caption, which shows what the Japanese font alone costs.
//
// Usage: startup_bench LAUNCH_NS [FILE…]. LAUNCH_NS is the CLOCK_REALTIME time at which the
// caller started the process; the bench prints the time from then to the window's first paint,
// then (program only) the time from confirming the open dialog to the icon painted for each
// FILE, then its resident memory.
//
// startup_bench --first-frame ends the process at once when the window is first painted, so
// that an instruction counter run over it counts exactly the work of starting up.
#ifndef QUORVANE_BARE
#include "App.h"
#include "CommonDialog.h"
#include "SystemServices.h"
#include "frmQuorvane.h"
#endif

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

std::int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

long residentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

class FirstPaint : public QObject {
  public:
    bool painted = false;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    const bool firstFrameOnly = std::string_view(argv[1]) == "--first-frame";
    const std::int64_t launched = firstFrameOnly ? 0 : std::stoll(argv[1]);
    int qtArgc = 1;
#ifndef QUORVANE_BARE
    quorvane::prepareEnvironment();
#endif
    QApplication application(qtArgc, argv);
    FirstPaint firstPaint;
#ifdef QUORVANE_BARE
    QWidget window;
    window.resize(232, 151);
#ifdef QUORVANE_BARE_JAPANESE
    new QLabel(QStringLiteral("ﾌｧｲﾙ(&F) 開く(&O)"), &window);
#endif
#else
    quorvane::initialiseApplication();
    auto& window = quorvane::browser::frmQuorvane::instance();
#endif
    window.installEventFilter(&firstPaint);
    window.show();
    while (!firstPaint.painted)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (firstFrameOnly)
        std::_Exit(0); // no tear-down: it is not part of starting up
    std::printf("startup_ms %.2f\n", double(nowNs() - launched) / 1e6);
#ifndef QUORVANE_BARE
    // A user confirms a dialog well after the window came up: let the start settle first.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    for (int i = 2; i < argc; ++i) {
        const QString path = QString::fromLocal8Bit(argv[i]);
        quorvane::platform::ServicesScope answer(
            {.fileDialog = [path](const auto&) { return std::optional<QString>(path); }});
        QElapsedTimer timer;
        timer.start();
        // The dialog answers at once; the icon is painted when the open returns (Refresh
        // repaints synchronously).
        window.mnuFileItem_Click(0);
        std::printf("open_ms %s %.3f\n", argv[i], double(timer.nsecsElapsed()) / 1e6);
    }
#endif
    std::printf("rss_kb %ld\n", residentKb());
    return 0;
}
