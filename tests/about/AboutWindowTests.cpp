// The about window as real widgets: what it shows after loading, how it closes, and the
// memory figure.
#include "App.h"
#include "SystemColors.h"
#include "WindowSeams.h"
#include "frmAbout.h"
#include "frmQuorvane.h"

#include <QLocale>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace quorvane;
using about::frmAbout;
using browser::frmQuorvane;

namespace {

QString grouped(const char* digits) {
    return QString::fromLatin1(digits).replace(QLatin1Char(','),
                                               QLocale::system().groupSeparator());
}

class AboutWindow : public ::testing::Test {
  protected:
    void SetUp() override { frmQuorvane::instance().show(); }
    void TearDown() override { frmQuorvane::Unload(); }

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
    // No registry entries: the system information button reaches its message.
    quorvane::testing::WindowSeams seams{
        {.localMachine = [](const QString&) { return std::optional<platform::RegistryKey>(); },
         .totalPhysicalMemory = [this] { return ++memoryReads, totalMemory; }}};
};

} // namespace

TEST_F(AboutWindow, ShowsWhatItLoadsAndEnterAndEscCloseIt) {
    EXPECT_EQ(std::tuple(App().Major, App().Minor, App().Revision), std::tuple(1, 0, 0));
    withAbout([](frmAbout* w) {
        EXPECT_TRUE(w->isModal());
        EXPECT_EQ(w->windowTitle(), QStringLiteral("Quorvaneのﾊﾞｰｼﾞｮﾝ情報"));
        EXPECT_EQ(w->lblTitle->text(), QStringLiteral("Quorvane"));
        EXPECT_EQ(w->lblVersion->text(), QStringLiteral("Version 1.0.0"));
        EXPECT_EQ(w->lblCopyright->text(), App().LegalCopyright);
        EXPECT_EQ(w->lblDescription->text(), QStringLiteral("この製品はﾌﾘｰｿﾌﾄｳｪｱです。"));
        EXPECT_EQ(w->lblDisclaimer->text(), QStringLiteral("Windowsが使用できる物理ﾒﾓﾘ: ") +
                                                grouped("262,144") + QStringLiteral(" KB"));
        // The icon is the main window's; its transparent pixels show the scroll-bar colour.
        const QImage icon = frmQuorvane::instance().windowIcon().pixmap(32, 32).toImage();
        EXPECT_EQ(w->picIcon->picture().convertToFormat(QImage::Format_ARGB32),
                  icon.convertToFormat(QImage::Format_ARGB32));
        const QImage shown = w->picIcon->grab().toImage();
        EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0);
        EXPECT_EQ(shown.pixel(0, 0), platform::systemColor(0).rgb());
        // Focus on OK; Enter on the system information button acts on it, not on OK.
        w->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(w));
        EXPECT_TRUE(w->cmdOK->hasFocus());
        QTest::keyClick(w->cmdOK, Qt::Key_Tab);
        QTest::keyClick(w->cmdSysInfo, Qt::Key_Return);
        EXPECT_TRUE(w->isVisible());
        QTest::keyClick(w, Qt::Key_Escape);
    });
    ASSERT_EQ(seams.messages.size(), 1u);
    EXPECT_EQ(seams.messages[0].prompt, QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません"));
    // Each showing reads the version and the memory again.
    App().Minor = 2;
    App().Revision = 34;
    withAbout([](frmAbout* w) {
        EXPECT_EQ(w->lblVersion->text(), QStringLiteral("Version 1.2.34"));
        QTest::keyClick(w->cmdOK, Qt::Key_Return);
    });
    App().Minor = App().Revision = 0;
    EXPECT_EQ(memoryReads, 2);
}

TEST(MemoryText, KilobytesRoundedDownAndGrouped) {
    const std::pair<std::uint64_t, const char*> cases[] = {
        {268435456, "262,144"},
        {1048575, "1,023"}, // the fraction is dropped
        {1023, ""},         // 0 KB: every digit of the format is optional
        {1024, "1"},
        {8589934592, "8,388,608"}, // 8 GiB, past what 32 bits hold
        {std::uint64_t(1) << 50, "1,099,511,627,776"},
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(frmAbout::memoryText(bytes), grouped(text)) << bytes;
}
