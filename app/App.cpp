// The application object and the program icon.
#include "App.h"

#include "quorvane/icons/IconReader.h"
#include "quorvane_version.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QPixmap>
#include <QTranslator>

#include <algorithm>

// The icon lives in a static library's resources: they must be registered by name.
static void initialiseResources() {
    Q_INIT_RESOURCE(Quorvane);
}

namespace quorvane {

QString applicationPathFrom(const QString& directory) {
    QString path = directory;
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

Application& App() {
    static Application app = [] {
        Application a;
        a.Title = QStringLiteral("Quorvane");
        // applicationFilePath resolves the executable through symbolic links.
        a.Path =
            applicationPathFrom(QFileInfo(QCoreApplication::applicationFilePath()).canonicalPath());
        a.HelpFile = QStringLiteral("Quorvane.hlp");
        // Major, Minor and Revision are the first, second and fourth numbers of the file version.
        a.Major = QUORVANE_VERSION_MAJOR;
        a.Minor = QUORVANE_VERSION_MINOR;
        a.Revision = QUORVANE_VERSION_TWEAK;
        a.LegalCopyright = QStringLiteral(QUORVANE_LEGAL_COPYRIGHT);
        return a;
    }();
    return app;
}

void prepareEnvironment() {
    // fontconfig takes the text's language from FC_LANG. With Japanese, the default face is a
    // Japanese one that draws whole captions, Latin letters included, with Japanese glyph
    // forms, instead of a Latin face that falls back to another font for every kana and kanji.
    // A language the user chose is kept.
    if (!qEnvironmentVariableIsSet("FC_LANG"))
        qputenv("FC_LANG", "ja");
    // In a Wayland session the program runs through XWayland where the session offers it: a
    // native Wayland window cannot place itself where the load step puts it, and the picture
    // on the clipboard would depend on the compositor. A platform the user chose is kept.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") &&
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
}

void initialiseApplication() {
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    // Qt's own texts (dialog buttons, the file dialog) all live in the qtbase catalogue.
    auto* translator = new QTranslator(qApp);
    if (translator->load(QStringLiteral("qtbase_ja"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
    // The name, not the display name: Qt would append a display name to every window title.
    QCoreApplication::setApplicationName(App().Title);
    QApplication::setWindowIcon(QIcon(QPixmap::fromImage(programIcon())));
}

QImage programIcon() {
    static const QImage icon = [] {
        initialiseResources();
        QFile file(QStringLiteral(":/Quorvane.ico"));
        if (!file.open(QIODevice::ReadOnly))
            return QImage();
        const QByteArray bytes = file.readAll();
        icons::MemorySource source(
            std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                      static_cast<std::size_t>(bytes.size())));
        auto bitmap = icons::extractIcon(source, 0);
        if (!bitmap)
            return QImage();
        // Transparent where the mask lets the background through.
        const icons::IconBitmap picture = icons::maskAsAlpha(*bitmap);
        QImage image(picture.width(), picture.height(), QImage::Format_ARGB32);
        const auto width = static_cast<std::size_t>(picture.width());
        for (int y = 0; y < picture.height(); ++y)
            std::copy_n(picture.pixels().data() + static_cast<std::size_t>(y) * width, width,
                        reinterpret_cast<std::uint32_t*>(image.scanLine(y)));
        return image;
    }();
    return icon;
}

} // namespace quorvane
