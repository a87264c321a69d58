// The main window's commands: loading, the command buttons, and the File and Edit menus.
#include "App.h"
#include "Files.h"
#include "RuntimeError.h"
#include "Twips.h"
#include "WindowManager.h"
#include "Windowing.h"
#include "basQuorvane.h"
#include "frmQuorvane.h"

namespace quorvane::browser {

using namespace quorvane::platform;

void frmQuorvane::Form_Load() {
    try {
        setMousePointer(vbHourglass);
        // Paths here have no drive, so only the directory is made current.
        if (!ChDir(App().Path))
            throw RuntimeError(kErrPathNotFound);
        // Slightly above the centre: the screen height is scaled by 0.85 before halving. The
        // window's size is its outer size, the frame that the window manager draws included.
        const QMargins frame = frameExtents(this);
        const QSize outer = geometry().marginsAdded(frame).size();
        const double height = pixelsToTwips(outer.height());
        const double width = pixelsToTwips(outer.width());
        const float top = static_cast<float>((screenHeightTwips() * 0.85) / 2 - height / 2);
        const float left = static_cast<float>(screenWidthTwips() / 2.0 - width / 2);
        moveFrameTo(this, twipsToPixels(left), twipsToPixels(top), frame);
        setWindowTitle(App().Title);
        QString helpPath = App().Path;
        if (!helpPath.endsWith(QLatin1Char('/')))
            helpPath += QLatin1Char('/');
        helpPath += App().HelpFile;
        App().HelpFile = helpPath;
        setMousePointer(vbDefault);
    } catch (const RuntimeError& error) {
        MsgBox(QStringLiteral("プログラムを起動できません。") + QStringLiteral("\r\n") +
                   error.Description,
               vbExclamation, App().Title);
        // The program goes on after the message, with the normal pointer.
        setMousePointer(vbDefault);
    }
}

void frmQuorvane::cmdButton_Click(std::int16_t Index) {
    switch (Index) {
    case 0:
        mnuFileItem_Click(0);
        break;
    case 1:
        mnuEditItem_Click(0);
        break;
    case 2:
        mnuFileItem_Click(2);
        break;
    default:
        break;
    }
}

void frmQuorvane::mnuFileItem_Click(std::int16_t Index) {
    if (Index == 0) {
        // Every error, the cancel included, ends the command without a message.
        try {
            CMDialog1->CancelError = true;
            CMDialog1->DialogTitle = QStringLiteral("ファイルを開く");
            CMDialog1->Filter =
                QStringLiteral("Executable Files (*.EXE)|*.EXE|All Files (*.*)|*.*");
            CMDialog1->FilterIndex = 1;
            CMDialog1->Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
            // The initial directory as a C string with its terminating NUL: the dialog reads
            // it up to the first NUL.
            CMDialog1->InitDir = CurDir() + QChar(0);
            CMDialog1->ShowOpen();
            basQuorvane::IconFilePath = CMDialog1->FileName;
            basQuorvane::OpenIconFile();
        } catch (const RuntimeError&) {
        }
    } else if (Index == 2) {
        End();
    }
}

void frmQuorvane::Form_OLEDragDrop(const QString& path) {
    // As the open command with a confirmed dialog: the dialog keeps the file and starts next in
    // its folder, and any error ends the open silently.
    try {
        CMDialog1->Confirm(path);
        basQuorvane::IconFilePath = CMDialog1->FileName;
        basQuorvane::OpenIconFile();
    } catch (const RuntimeError&) {
    }
}

void frmQuorvane::mnuEditItem_Click(std::int16_t Index) {
    if (Index == 0) {
        clipboardClear();
        clipboardSetImage(pctIcon->Image());
    }
}

} // namespace quorvane::browser
