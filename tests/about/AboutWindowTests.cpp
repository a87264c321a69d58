// The about window as real widgets: what it shows after loading, how it closes, and the
// memory figure.
#include "App.h"
#include "MemoryStatus.h"
#include "QtPrinters.h"
#include "Registry.h"
#include "SystemColors.h"
#include "Twips.h"
#include "WindowSeams.h"
#include "frmAbout.h"
#include "frmQuorvane.h"

#include <QGuiApplication>
#include <QLocale>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace quorvane;
using about::frmAbout;
using browser::frmQuorvane;

namespace {

class AboutWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        frmQuorvane::Unload();
        frmQuorvane::instance().show();
        platform::setTotalPhysicalMemorySource([this] {
            ++memoryReads;
            return totalMemory;
        });
        // The system information button reaches the launcher; nothing is really started.
        platform::setLocalMachineHive(
            [](const QString&) { return std::optional<platform::RegistryKey>(); });
    }
    void TearDown() override {
        platform::setLocalMachineHive({});
        platform::setTotalPhysicalMemorySource({});
        frmQuorvane::Unload();
    }

    // Opens the window from the Help menu and lets `user` look at it and close it.
    void withAbout(const std::function<void(frmAbout*)>& user) {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            frmAbout* window = frmAbout::loaded();
            ASSERT_NE(window, nullptr);
            QTimer::singleShot(10000, window, [window] {
                ADD_FAILURE() << "the about window was left open";
                window->done(0);
            });
            user(window);
            ran = true;
        });
        frmQuorvane::instance().mnuHelpItem(4)->trigger();
        EXPECT_TRUE(ran);
        EXPECT_EQ(frmAbout::loaded(), nullptr);
    }

    std::uint64_t totalMemory = 268435456;
    int memoryReads = 0;
    quorvane::testing::WindowSeams seams;
};

QString grouped(const char* digits) {
    return QString::fromLatin1(digits).replace(QLatin1Char(','),
                                               QLocale::system().groupSeparator());
}

} // namespace

TEST_F(AboutWindow, ShowsWhatItLoads) {
    withAbout([this](frmAbout* w) {
        EXPECT_TRUE(w->isModal());
        EXPECT_EQ(w->windowTitle(), QStringLiteral("Quorvaneのﾊﾞｰｼﾞｮﾝ情報"));
        EXPECT_EQ(w->lblTitle->text(), QStringLiteral("Quorvane"));
        EXPECT_EQ(w->lblVersion->text(), QStringLiteral("Version 1.0.0"));
        EXPECT_EQ(w->lblCopyright->text(), App().LegalCopyright);
        EXPECT_FALSE(App().LegalCopyright.isEmpty());
        EXPECT_EQ(w->lblDescription->text(), QStringLiteral("この製品はﾌﾘｰｿﾌﾄｳｪｱです。"));
        EXPECT_EQ(w->lblDisclaimer->text(), QStringLiteral("Windowsが使用できる物理ﾒﾓﾘ: ") +
                                                grouped("262,144") + QStringLiteral(" KB"));
        EXPECT_EQ(w->cmdOK->text(), QStringLiteral("OK"));
        EXPECT_EQ(w->cmdSysInfo->text(), QStringLiteral("ｼｽﾃﾑ情報(&S)..."));
        // The icon is the main window's, pixel for pixel.
        const QImage mainIcon = frmQuorvane::instance().windowIcon().pixmap(32, 32).toImage();
        EXPECT_EQ(w->picIcon->picture().convertToFormat(QImage::Format_ARGB32),
                  mainIcon.convertToFormat(QImage::Format_ARGB32));
        EXPECT_EQ(mainIcon.size(), QSize(32, 32));
        // Its transparent pixels show the scroll-bar colour, not the dialog's.
        const QImage shown = w->picIcon->grab().toImage();
        int transparent = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                if (qAlpha(mainIcon.pixel(x, y)) == 0) {
                    ++transparent;
                    EXPECT_EQ(shown.pixel(x, y), platform::systemColor(0).rgb());
                }
        EXPECT_GT(transparent, 0);
        EXPECT_NE(platform::systemColor(0), w->palette().color(QPalette::Window));
        EXPECT_EQ(platform::mousePointer(), platform::vbDefault);
        w->cmdOK->click();
    });
    EXPECT_EQ(memoryReads, 1);
}

TEST_F(AboutWindow, LayoutMatchesTheDesignInTwips) {
    using platform::twipsRect;
    withAbout([](frmAbout* w) {
        EXPECT_EQ(w->size(), QSize(410, 193));
        EXPECT_EQ(w->minimumSize(), w->maximumSize());
        EXPECT_FALSE(w->windowFlags() &
                     (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
        EXPECT_EQ(w->picIcon->geometry(), twipsRect(300, 240, 480, 480));
        EXPECT_EQ(w->cmdOK->geometry(), twipsRect(4500, 1920, 1380, 345));
        EXPECT_EQ(w->cmdSysInfo->geometry(), twipsRect(4500, 2340, 1380, 345));
        EXPECT_EQ(w->lblCopyright->geometry(), twipsRect(1020, 720, 4815, 195));
        EXPECT_EQ(w->lblDescription->geometry(), twipsRect(1020, 960, 4815, 675));
        EXPECT_EQ(w->lblTitle->geometry(), twipsRect(1020, 239, 4815, 195));
        EXPECT_EQ(w->lblDisclaimer->geometry(), twipsRect(1020, 1920, 3270, 780));
        EXPECT_EQ(w->lblVersion->pos(), QPoint(68, 32));
        EXPECT_EQ(w->Line1[1]->geometry(), QRect(68, 119, 324, 1));
        EXPECT_EQ(w->Line1[0]->geometry(), QRect(68, 120, 324, 2));
        EXPECT_EQ(w->Line1[1]->palette().color(QPalette::Window), QColor(128, 128, 128));
        EXPECT_EQ(w->Line1[0]->palette().color(QPalette::Window), QColor(255, 255, 255));
        // Centred on the screen, with the window's size at load.
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        EXPECT_EQ(w->frameGeometry().top(),
                  platform::twipsToPixels(screen.height() * 15 / 2.0 - w->height() * 15 / 2.0));
        EXPECT_EQ(w->frameGeometry().left(),
                  platform::twipsToPixels(screen.width() * 15 / 2.0 - w->width() * 15 / 2.0));
        // Focus on OK; Tab moves to the system information button.
        w->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(w));
        EXPECT_TRUE(w->cmdOK->hasFocus());
        EXPECT_TRUE(w->cmdOK->isDefault());
        QTest::keyClick(w->cmdOK, Qt::Key_Tab);
        EXPECT_TRUE(w->cmdSysInfo->hasFocus());
        // Enter while the system information button has the focus acts on it, not on OK: with
        // no registry entries the launcher says it cannot help, and the window stays open.
        QTest::keyClick(w->cmdSysInfo, Qt::Key_Return);
        EXPECT_TRUE(w->isVisible());
        w->cmdOK->click();
    });
    ASSERT_EQ(seams.messages.size(), 1u);
    EXPECT_EQ(seams.messages[0].prompt, QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません"));
}

TEST_F(AboutWindow, EnterAndEscCloseItAndEachShowingReadsMemoryAgain) {
    withAbout([](frmAbout* w) { QTest::keyClick(w, Qt::Key_Escape); });
    withAbout([](frmAbout* w) { QTest::keyClick(w->cmdOK, Qt::Key_Return); });
    totalMemory = 1023;
    withAbout([](frmAbout* w) {
        EXPECT_EQ(w->lblDisclaimer->text(), QStringLiteral("Windowsが使用できる物理ﾒﾓﾘ:  KB"));
        QTest::keyClick(w, Qt::Key_Escape);
    });
    EXPECT_EQ(memoryReads, 3);
}

TEST(MemoryText, KilobytesRoundedDownAndGrouped) {
    struct Case {
        std::uint64_t bytes;
        const char* text;
    };
    const Case cases[] = {
        {268435456, "262,144"},
        {1048575, "1,023"},        // the fraction is dropped
        {4294967295, "4,194,303"}, // every bit of a 32-bit count
        {1023, ""},                // 0 KB: every digit of the format is optional
        {1024, "1"},
        {8589934592, "8,388,608"},   // 8 GiB, past what 32 bits hold
        {25769803776, "25,165,824"}, // 24 GiB
        {std::uint64_t(1) << 50, "1,099,511,627,776"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(frmAbout::memoryText(c.bytes), grouped(c.text)) << c.bytes;
}

TEST(MemoryText, TheMachinesOwnMemoryIsReadInSixtyFourBits) {
    platform::MEMORYSTATUSEX status;
    status.dwLength = sizeof status;
    ASSERT_NE(platform::GlobalMemoryStatusEx(&status), 0);
    // This machine's total, from the kernel (/proc/meminfo says the same in kB, less what the
    // kernel keeps for itself).
    EXPECT_GT(status.ullTotalPhys, std::uint64_t(1) << 30);
    EXPECT_LE(status.ullAvailPhys, status.ullTotalPhys);
}
