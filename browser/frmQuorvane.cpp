// The main window as designed: its controls, menus and tab order, and stepping through icons.
#include "frmQuorvane.h"

#include "App.h"
#include "Files.h"
#include "RuntimeError.h"
#include "SystemColors.h"
#include "Twips.h"
#include "basQuorvane.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QMenuBar>
#include <QMimeData>
#include <QUrl>

namespace quorvane::browser {

using namespace quorvane::platform;

namespace {

frmQuorvane*& theInstance() {
    static frmQuorvane* window = nullptr;
    return window;
}

// The client area below the menu bar, in twips.
constexpr int kClientWidth = 3480;
constexpr int kClientHeight = 1920;

} // namespace

frmQuorvane& frmQuorvane::instance() {
    if (!theInstance()) {
        theInstance() = new frmQuorvane();
        theInstance()->Form_Load();
    }
    return *theInstance();
}

bool frmQuorvane::exists() {
    return theInstance() != nullptr;
}

void frmQuorvane::Unload() {
    delete theInstance();
    theInstance() = nullptr;
}

frmQuorvane::frmQuorvane()
    // Fixed single border: a title bar with the control menu, no resizing, no maximise button.
    : QMainWindow(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                               Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      cmdButton("cmdButton", [this](std::int16_t i) { cmdButton_Click(i); }),
      cmdArrow("cmdArrow", [this](std::int16_t i) { cmdArrow_Click(i); }),
      mnuFileItem("mnuFileItem", [this](std::int16_t i) { mnuFileItem_Click(i); }),
      mnuEditItem("mnuEditItem", [this](std::int16_t i) { mnuEditItem_Click(i); }),
      mnuHelpItem("mnuHelpItem", [this](std::int16_t i) { mnuHelpItem_Click(i); }) {
    setObjectName(QStringLiteral("frmQuorvane"));
    setAcceptDrops(true);
    createControls();
    createMenus();
    setFixedSize(sizeHint());
}

void frmQuorvane::createControls() {
    client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(twipsToPixels(kClientWidth), twipsToPixels(kClientHeight));
    setCentralWidget(client);
    // BackColor: the scroll-bar colour, which shows in the strip below the frame.
    setBackColor(client, COLOR_SCROLLBAR);

    Frame1 = new QGroupBox(client);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(twipsRect(0, -60, 3480, 1960));
    setBackColor(Frame1, COLOR_BTNFACE); // a frame's own default BackColor
    Frame1->setFocusPolicy(Qt::NoFocus);

    createButtons();

    createPicture();

    CMDialog1 = new CommonDialog(this);
    CMDialog1->setObjectName(QStringLiteral("CMDialog1"));

    // TabIndex order: the buttons, "→" before "←", then the picture; hidden arrows are skipped.
    QWidget::setTabOrder(cmdButton(0), cmdButton(1));
    QWidget::setTabOrder(cmdButton(1), cmdButton(2));
    QWidget::setTabOrder(cmdButton(2), cmdArrow(1));
    QWidget::setTabOrder(cmdArrow(1), cmdArrow(0));
    QWidget::setTabOrder(cmdArrow(0), pctIcon);
    cmdButton(0)->setFocus();
}

// The command buttons and the two arrows, on the frame.
void frmQuorvane::createButtons() {
    struct ButtonDesign {
        const char* caption;
        int left, top, width, height;
    };
    const ButtonDesign buttons[] = {
        {"開く(&O)", 2515, 120, 930, 615},
        {"コピー(&C)", 2515, 720, 930, 615},
        {"終了(&X)", 2515, 1320, 930, 615},
    };
    for (const ButtonDesign& b : buttons) {
        auto* button = cmdButton.add(new QPushButton(QString::fromUtf8(b.caption), Frame1));
        button->setGeometry(twipsRect(b.left, b.top, b.width, b.height));
        // No default button: Enter presses the button that has the focus, Esc does nothing.
        button->setAutoDefault(true);
    }
    const ButtonDesign arrows[] = {
        {"\u2190", 30, 1430, 510, 510},
        {"\u2192", 1980, 1430, 510, 510},
    };
    for (const ButtonDesign& a : arrows) {
        auto* arrow = cmdArrow.add(new QPushButton(QString::fromUtf8(a.caption), Frame1));
        arrow->setGeometry(twipsRect(a.left, a.top, a.width, a.height));
        arrow->setAutoDefault(true);
        arrow->setVisible(false);
    }
}

// The picture area: white, with a sunken border.
void frmQuorvane::createPicture() {
    pctIcon = new PictureBox(Frame1);
    pctIcon->setObjectName(QStringLiteral("pctIcon"));
    // A 2-pixel sunken border leaves a drawable area of 35 x 35 pixels in the 39 x 39 control.
    pctIcon->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pctIcon->setLineWidth(2);
    pctIcon->setGeometry(twipsRect(1020, 720, 585, 585));
    pctIcon->setBackColor(Qt::white);
    pctIcon->setAutoFillBackground(true);
    QPalette white = pctIcon->palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::white);
    pctIcon->setPalette(white);
}

void frmQuorvane::createMenus() {
    struct ItemDesign {
        const char* caption; // "-" is a separator
        QKeySequence shortcut;
    };
    auto addMenu = [this](const char* name, const char* caption,
                          platform::ControlArray<QAction>& items,
                          std::initializer_list<ItemDesign> design) {
        QMenu* menu = menuBar()->addMenu(QString::fromUtf8(caption));
        menu->setObjectName(QString::fromLatin1(name));
        for (const ItemDesign& d : design) {
            auto* action = new QAction(menu);
            if (std::string_view(d.caption) == "-")
                action->setSeparator(true);
            else
                action->setText(QString::fromUtf8(d.caption));
            action->setShortcut(d.shortcut);
            items.add(action);
            menu->addAction(action);
        }
        return menu;
    };
    mnuFile = addMenu("mnuFile", "ﾌｧｲﾙ(&F)", mnuFileItem,
                      {{"ﾌｧｲﾙを開く(&O)...", {}}, {"-", {}}, {"終了(&X)", {}}});
    mnuEdit = addMenu("mnuEdit", "編集(&E)", mnuEditItem,
                      {{"ｺﾋﾟｰ(&C)", QKeySequence(Qt::CTRL | Qt::Key_C)}});
    mnuHelp = addMenu("mnuHelp", "ﾍﾙﾌﾟ(&H)", mnuHelpItem,
                      {{"目次(&C)", {}},
                       {"ｷｰﾜｰﾄﾞで検索(&S)", {}},
                       {"ﾍﾙﾌﾟの使い方(&H)", {}},
                       {"-", {}},
                       {"ﾊﾞｰｼﾞｮﾝ情報(&A)...", {}}});
}

void frmQuorvane::cmdArrow_Click(std::int16_t Index) {
    using namespace basQuorvane;
    // Draws icon IconIndex; a failed extraction or drawing leaves the picture blank, unreported.
    auto drawCurrentIcon = [this] {
        const HICON hIcon = ExtractIconA(InstanceHandle, systemPath(IconFilePath), IconIndex);
        DrawIcon(pctIcon->hDC(), 2, 2, hIcon);
        pctIcon->Refresh();
    };
    if (Index == 1) {
        pctIcon->Cls();
        cmdArrow(0)->setVisible(true);
        IconIndex = CInt(IconIndex + 1);
        drawCurrentIcon();
        if (IconIndex == CInt(IconCount - 1))
            cmdArrow(1)->setVisible(false);
    } else if (Index == 0) {
        pctIcon->Cls();
        cmdArrow(1)->setVisible(true);
        IconIndex = CInt(IconIndex - 1);
        drawCurrentIcon();
        if (IconIndex == 0)
            cmdArrow(0)->setVisible(false);
    }
}

namespace {

// The first of the files dropped, when it is a local file; empty otherwise.
QString droppedFile(const QMimeData* data) {
    const QList<QUrl> urls = data->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return {};
    const QString path = urls.first().toLocalFile();
    return QFileInfo(path).isFile() ? path : QString();
}

} // namespace

void frmQuorvane::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void frmQuorvane::dragMoveEvent(QDragMoveEvent* event) {
    if (!droppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void frmQuorvane::dropEvent(QDropEvent* event) {
    const QString path = droppedFile(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    dispatchEvent([this, &path] { Form_OLEDragDrop(path); });
}

void frmQuorvane::closeEvent(QCloseEvent* event) {
    int Cancel = 0;
    dispatchEvent([&] { Form_Unload(Cancel); });
    if (Cancel != 0)
        event->ignore();
    else
        event->accept();
}

} // namespace quorvane::browser
