// Windows larger than the screen (a 300 x 150 offscreen screen): placed as computed, with
// negative edges.
#include "Twips.h"
#include "WindowSeams.h"
#include "frmAbout.h"
#include "frmQuorvane.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include <gtest/gtest.h>

using namespace quorvane;

TEST(SmallScreen, WindowsLargerThanTheScreenGetNegativeEdges) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    ASSERT_EQ(screen.size(), QSize(300, 150));
    quorvane::testing::WindowSeams seams;
    auto& main = browser::frmQuorvane::instance();
    EXPECT_EQ(main.frameGeometry().top(),
              platform::twipsToPixels(0.425 * 150 * 15 - 0.5 * main.height() * 15));
    EXPECT_LT(main.frameGeometry().top(), 0);
    QPoint aboutAt;
    QSize aboutSize;
    QTimer::singleShot(0, [&] {
        about::frmAbout* window = about::frmAbout::loaded();
        ASSERT_NE(window, nullptr);
        aboutAt = window->frameGeometry().topLeft();
        aboutSize = window->size();
        window->cmdOK->click();
    });
    main.mnuHelpItem(4)->trigger();
    EXPECT_EQ(aboutSize, QSize(410, 193));
    EXPECT_EQ(aboutAt, QPoint(platform::twipsToPixels((300 * 15) / 2.0 - (410 * 15) / 2.0),
                              platform::twipsToPixels((150 * 15) / 2.0 - (193 * 15) / 2.0)));
    EXPECT_LT(aboutAt.x(), 0);
    EXPECT_LT(aboutAt.y(), 0);
    browser::frmQuorvane::Unload();
}
