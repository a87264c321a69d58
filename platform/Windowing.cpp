// Windowing services over Qt.
#include "Windowing.h"

#include "RuntimeError.h"
#include "SystemServices.h"
#include "Twips.h"
#include "WindowManager.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include <new>

namespace quorvane::platform {
namespace {

int g_mousePointer = vbDefault;

// The module instance handle of a program loaded at the classic default base.
constexpr std::int32_t kInstanceHandle = 0x00400000;

QMessageBox::Icon iconFor(int buttons) {
    switch (buttons & 0x70) {
    case 16:
        return QMessageBox::Critical;
    case 32:
        return QMessageBox::Question;
    case vbExclamation:
        return QMessageBox::Warning;
    case 64:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

// The window a message box belongs to: the active one, or when the program is not active (a
// file dropped from another program's window) the first of its windows on screen.
QWidget* messageOwner() {
    if (QWidget* active = QApplication::activeWindow())
        return active;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible())
            return window;
    return nullptr;
}

} // namespace

int MsgBox(const QString& prompt, int buttons, const QString& title) {
    if (services().messageBox)
        return services().messageBox({prompt, buttons, title});
    QMessageBox box(iconFor(buttons), title,
                    QString(prompt).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                    QMessageBox::NoButton, messageOwner());
    box.setObjectName(QStringLiteral("MsgBox"));
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    frameAsDialog(&box);
    box.exec();
    return vbOK;
}

void setMousePointer(int pointer) {
    const bool wasBusy = g_mousePointer == vbHourglass;
    g_mousePointer = pointer;
    if (pointer == vbHourglass && !wasBusy)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else if (pointer != vbHourglass && wasBusy)
        QGuiApplication::restoreOverrideCursor();
}

int mousePointer() {
    return g_mousePointer;
}

int screenWidthTwips() {
    return pixelsToTwips(QGuiApplication::primaryScreen()->geometry().width());
}

int screenHeightTwips() {
    return pixelsToTwips(QGuiApplication::primaryScreen()->geometry().height());
}

void End() {
    if (services().end) {
        services().end();
        return;
    }
    // Leaves every event loop, nested ones included, without closing any window.
    QCoreApplication::exit(0);
}

void dispatchEvent(const std::function<void()>& handler) {
    int number = 0;
    QString description;
    try {
        handler();
        return;
    } catch (const RuntimeError& error) {
        number = error.Number;
        description = error.Description;
    } catch (const std::bad_alloc&) {
        number = kErrOutOfMemory;
        description = errorDescription(number);
    } catch (const std::exception&) {
        number = kErrInternal;
        description = errorDescription(number);
    }
    MsgBox(QStringLiteral("実行時エラー '%1':\n\n%2").arg(number).arg(description), vbCritical,
           QCoreApplication::applicationName());
}

void clipboardClear() {
    QGuiApplication::clipboard()->clear();
}

void clipboardSetImage(const QImage& image) {
    QGuiApplication::clipboard()->setImage(image);
}

std::int32_t GetWindowLongA(const QWidget*, int nIndex) {
    return nIndex == GWL_HINSTANCE ? kInstanceHandle : 0;
}

} // namespace quorvane::platform
