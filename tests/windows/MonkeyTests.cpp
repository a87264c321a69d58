// Five thousand random user actions against the real windows: open real, malformed and odd
// files, step, copy, open and close the about window. After every action the arrows must
// follow the browsing state's invariants. Run in the sanitizer build, this also catches memory
// errors and leaks anywhere on those paths.
#include "WindowSeams.h"
#include "basQuorvane.h"
#include "frmAbout.h"
#include "frmQuorvane.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <random>
#include <sys/stat.h>

using namespace quorvane;
using namespace quorvane::testing;
using browser::frmQuorvane;

TEST(Monkey, RandomActionsKeepTheArrowsTrue) {
    // The random sequence, fixed so that a failure repeats.
    const unsigned start = 20261206;
    std::mt19937 random(start);
    auto pick = [&](std::size_t last) {
        return std::uniform_int_distribution<std::size_t>(0, last)(random);
    };
    // Real files, damaged copies of them, and things that are not program files at all.
    QTemporaryDir dir;
    QStringList files = {dir.filePath(QStringLiteral("fifo")), dir.path(),
                         dir.filePath(QStringLiteral("missing.exe")), QStringLiteral("/dev/zero")};
    ::mkfifo(files[0].toLocal8Bit().constData(), 0600);
    files << kWineDir + "/user32.dll" << kWineDir + "/winecfg.exe" << kWineDir + "/notepad.exe"
          << QStringLiteral("/usr/share/wine/fonts/coure.fon")
          << kNsisDir + "/Stubs/zlib-x86-unicode"
          << kNsisDir + "/Contrib/Graphics/Icons/modern-install.ico";
    const QByteArray stub = readFile(kNsisDir + "/Stubs/lzma-amd64-unicode");
    // Damaged copies: cut short, or with bytes flipped.
    for (int i = 0; i < 24; ++i) {
        QByteArray bytes = stub;
        const auto last = std::size_t(bytes.size() - 1);
        if (i % 2)
            bytes.resize(qsizetype(pick(last)));
        for (int flips = 0; flips < 8 && i % 2 == 0; ++flips)
            bytes[qsizetype(pick(last))] ^= char(0xFF);
        files << dir.filePath(QStringLiteral("damaged-%1.exe").arg(i));
        writeFile(files.back(), bytes);
    }
    WindowSeams seams;
    // A fresh program: its browsing state as it starts.
    frmQuorvane::Unload();
    basQuorvane::IconCount = basQuorvane::IconIndex = 0;
    frmQuorvane& form = frmQuorvane::instance();
    form.show();
    int opens = 0, steps = 0, copies = 0, abouts = 0;
    for (int action = 0; action < 5000; ++action) {
        SCOPED_TRACE("sequence " + std::to_string(start) + ", action " + std::to_string(action));
        const std::size_t what = pick(19);
        if (what < 2) {
            // open a file, or cancel the dialog
            const std::size_t file = pick(std::size_t(files.size()));
            seams.answers.push_back(file < std::size_t(files.size()) ? files[qsizetype(file)]
                                                                     : QString());
            QTest::mouseClick(form.cmdButton(0), Qt::LeftButton);
            ++opens;
        } else if (what == 2) {
            // copy
            QTest::mouseClick(form.cmdButton(1), Qt::LeftButton);
            ASSERT_EQ(QGuiApplication::clipboard()->image().size(), QSize(35, 35));
            ++copies;
        } else if (what == 3 && action % 10 == 0) {
            // the about window, opened and closed
            QTimer::singleShot(0, [&abouts] {
                if (auto* about = about::frmAbout::loaded()) {
                    ++abouts;
                    about->cmdOK->click();
                }
            });
            form.mnuHelpItem(4)->trigger();
        } else if (auto arrow = std::int16_t(pick(1)); !form.cmdArrow(arrow)->isHidden()) {
            // whichever arrow is there
            QTest::mouseClick(form.cmdArrow(arrow), Qt::LeftButton);
            ++steps;
        }
        const int index = basQuorvane::IconIndex, count = basQuorvane::IconCount;
        ASSERT_TRUE(count < 2 || (index >= 0 && index < count));
        ASSERT_EQ(!form.cmdArrow(0)->isHidden(), count > 1 && index > 0);
        ASSERT_EQ(!form.cmdArrow(1)->isHidden(), count > 1 && index < count - 1);
    }
    // The run did what it is meant to.
    EXPECT_TRUE(opens > 100 && steps > 200 && copies > 50 && abouts > 5);
    // Only the no-icon message, never a run-time error.
    for (const auto& m : seams.messages)
        ASSERT_EQ(m.prompt, QStringLiteral("このファイルはアイコンを持っていません。"));
    frmQuorvane::Unload();
}
