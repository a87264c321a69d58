// The application object: the properties that both windows read, alive for the whole run.
#pragma once

#include <QImage>
#include <QString>

#include <cstdint>

namespace quorvane {

struct Application {
    QString Title;
    QString Path;     // the running executable's directory, no trailing "/" except for "/"
    QString HelpFile; // the bare help file name at start; the full help path after loading
    std::int16_t Major = 0;
    std::int16_t Minor = 0;
    std::int16_t Revision = 0;
    QString LegalCopyright;
};

// The one application object, set up on first use (a QCoreApplication must exist).
Application& App();

// Prepares the process before the QApplication exists: the font configuration learns that the
// captions are Japanese, so the platform's default face is its Japanese one, and in a Wayland
// session with XWayland the program takes the X11 platform.
void prepareEnvironment();

// Sets up what the windowing layer needs before the first window: the Japanese locale and
// Qt's Japanese translations (its dialogs and boxes speak Japanese whatever the user's locale),
// the application title and the program icon. Call once, after the QApplication exists.
void initialiseApplication();

// A directory path as Path holds it: without a trailing "/", except for the root itself.
QString applicationPathFrom(const QString& directory);

// The program icon: the 32x32, 16-colour image embedded in the executable.
QImage programIcon();

} // namespace quorvane
