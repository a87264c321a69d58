// The about window as designed, and what it shows when it loads.
#include "frmAbout.h"

#include "App.h"
#include "MemoryStatus.h"
#include "RuntimeError.h"
#include "SystemColors.h"
#include "Twips.h"
#include "WindowManager.h"
#include "Windowing.h"

#include <QFontMetricsF>
#include <QLocale>

#include <algorithm>
#include <cmath>

namespace quorvane::about {

using namespace quorvane::platform;

namespace {

frmAbout* g_loaded = nullptr;

QLabel* makeLabel(QWidget* parent, const char* name, const char* caption, QRect geometry) {
    auto* label = new QLabel(QString::fromUtf8(caption), parent);
    label->setObjectName(QString::fromLatin1(name));
    // The layout's heights suit a smaller font than today's: a label shorter than its font's
    // line keeps its place and grows downwards to show the whole line, descenders included.
    // Grown labels overlap the next by a pixel or two; they draw no background of their own
    // (it would be the window's colour), so that none hides another's text.
    const auto line = static_cast<int>(std::ceil(QFontMetricsF(label->font()).height()));
    geometry.setHeight(std::max(geometry.height(), line));
    label->setGeometry(geometry);
    // A label of fixed size breaks its text into lines within its width.
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

// A line of the layout: a filled strip of one colour.
QWidget* makeLine(QWidget* parent, int index, QRect geometry, QColor colour) {
    auto* line = new QWidget(parent);
    line->setObjectName(QStringLiteral("Line1%1").arg(index));
    line->setGeometry(geometry);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, colour);
    line->setPalette(palette);
    return line;
}

void setBlackText(QLabel* label) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(palette);
}

} // namespace

void frmAbout::ShowModal(QWidget* owner, const QIcon& ownerIcon) {
    frmAbout window(owner, ownerIcon);
    g_loaded = &window;
    window.Form_Load();
    window.exec();
    g_loaded = nullptr;
}

frmAbout* frmAbout::loaded() {
    return g_loaded;
}

frmAbout::frmAbout(QWidget* owner, const QIcon& ownerIcon)
    // Fixed dialog: a title bar with a close button, no minimise or maximise, no taskbar entry.
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      m_ownerIcon(ownerIcon) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
    setWindowIcon(QIcon(QPixmap::fromImage(programIcon())));
    createControls();
    setFixedSize(twipsToPixels(6150), twipsToPixels(2895));
    frameAsDialog(this);
}

void frmAbout::createControls() {
    picIcon = new PictureBox(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setFrameStyle(QFrame::NoFrame);
    picIcon->setGeometry(twipsRect(300, 240, 480, 480));
    picIcon->setBackColor(systemColor(COLOR_SCROLLBAR)); // shows through the icon's transparency

    createButtons();

    lblCopyright = makeLabel(this, "lblCopyright", "著作権", twipsRect(1020, 720, 4815, 195));

    // The etched separator: a grey one-pixel line with a white two-pixel line below it.
    Line1[1] = makeLine(
        this, 1, QRect(twipsToPixels(1020), twipsToPixels(1785), twipsToPixels(5880 - 1020), 1),
        QColor(128, 128, 128));

    lblDescription =
        makeLabel(this, "lblDescription", "ｱﾌﾟﾘｹｰｼｮﾝの説明", twipsRect(1020, 960, 4815, 675));
    setBlackText(lblDescription);
    lblTitle = makeLabel(this, "lblTitle", "ｱﾌﾟﾘｹｰｼｮﾝ ﾀｲﾄﾙ", twipsRect(1020, 239, 4815, 195));

    Line1[0] = makeLine(
        this, 0, QRect(twipsToPixels(1020), twipsToPixels(1800), twipsToPixels(5880 - 1020), 2),
        Qt::white);

    lblVersion = makeLabel(this, "lblVersion", "ﾊﾞｰｼﾞｮﾝ", twipsRect(1020, 480, 4815, 195));
    lblDisclaimer = makeLabel(this, "lblDisclaimer", "警告: ...", twipsRect(1020, 1920, 3270, 780));
    setBlackText(lblDisclaimer);

    QWidget::setTabOrder(cmdOK, cmdSysInfo);
    QWidget::setTabOrder(cmdSysInfo, picIcon);
    cmdOK->setFocus();
}

void frmAbout::createButtons() {
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(twipsRect(4500, 1920, 1380, 345));
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this,
            [this] { dispatchEvent([this] { cmdOK_Click(); }); });

    cmdSysInfo = new QPushButton(QStringLiteral("ｼｽﾃﾑ情報(&S)..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    cmdSysInfo->setGeometry(twipsRect(4500, 2340, 1380, 345));
    cmdSysInfo->setAutoDefault(true);
    connect(cmdSysInfo, &QPushButton::clicked, this,
            [this] { dispatchEvent([this] { cmdSysInfo_Click(); }); });
}

void frmAbout::Form_Load() {
    setMousePointer(vbHourglass);
    setWindowTitle(App().Title + QStringLiteral("のﾊﾞｰｼﾞｮﾝ情報"));
    // Centred by the outer size: the two halves are computed first, then subtracted, in
    // single precision.
    const QMargins frame = frameExtents(this);
    const QSize outer = geometry().marginsAdded(frame).size();
    const float height = static_cast<float>(pixelsToTwips(outer.height()));
    const float screenHeight = static_cast<float>(screenHeightTwips());
    const float width = static_cast<float>(pixelsToTwips(outer.width()));
    const float screenWidth = static_cast<float>(screenWidthTwips());
    moveFrameTo(this, twipsToPixels(screenWidth / 2 - width / 2),
                twipsToPixels(screenHeight / 2 - height / 2), frame);
    // The icon's own 32x32 pixels: the picture box enlarges them by whole pixels on a dense
    // screen, where a pixmap asked for at the screen's density would come blurred.
    picIcon->setPicture(m_ownerIcon.pixmap(QSize(32, 32), 1.0).toImage());
    lblTitle->setText(App().Title);
    lblVersion->setText(QStringLiteral("Version ") + QString::number(App().Major) +
                        QLatin1Char('.') + QString::number(App().Minor) + QLatin1Char('.') +
                        QString::number(App().Revision));
    lblVersion->adjustSize(); // AutoSize
    lblCopyright->setText(App().LegalCopyright);
    lblDescription->setText(QStringLiteral("この製品はﾌﾘｰｿﾌﾄｳｪｱです。"));
    lblDisclaimer->setText(QStringLiteral("Windowsが使用できる物理ﾒﾓﾘ: ") +
                           GetPhysicalMemoryText() + QStringLiteral(" KB"));
    setMousePointer(vbDefault);
}

void frmAbout::cmdOK_Click() {
    done(QDialog::Accepted);
}

void frmAbout::reject() {
    dispatchEvent([this] { cmdOK_Click(); });
}

QString frmAbout::memoryText(std::uint64_t totalBytes) {
    const std::uint64_t kilobytes = totalBytes / 1024;
    if (kilobytes == 0)
        return {}; // every position of "###,###,###" is an optional digit
    // Digits grouped in threes from the right, with the user's thousands separator.
    const QString digits = QString::number(kilobytes);
    const QString separator = QLocale::system().groupSeparator();
    QString out;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += separator;
        out += digits[i];
    }
    return out;
}

QString frmAbout::GetPhysicalMemoryText() {
    // The 64-bit total: a 32-bit one would stop at 4 GiB and show 4,194,303 KB on larger machines.
    MEMORYSTATUSEX status;
    status.dwLength = sizeof(MEMORYSTATUSEX);
    GlobalMemoryStatusEx(&status);
    return memoryText(status.ullTotalPhys);
}

} // namespace quorvane::about
