// Start-up: hands over to the windowing layer, which loads and shows the main window.
#include "App.h"
#include "frmQuorvane.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

namespace {

// Without a display, Qt would abort with a long message: say it in one line instead.
bool hasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return true;
    }
    return false;
}

} // namespace

int main(int, char** argv) {
    if (!hasDisplay()) {
        std::fprintf(
            stderr,
            "quorvane: no display; start it on a desktop, or under a virtual one: xvfb-run %s\n",
            argv[0]);
        return 1;
    }
    // The command line is not read; Qt gets only the program name.
    int qtArgc = 1;
    quorvane::prepareEnvironment();
    QApplication application(qtArgc, argv);
    quorvane::initialiseApplication();
    quorvane::browser::frmQuorvane::instance().show();
    return application.exec();
}
