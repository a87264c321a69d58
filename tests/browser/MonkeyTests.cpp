// Five thousand random user actions against the real windows: open real, malformed and odd
// files, step, copy, open and close the about window. After every action the arrows must
// follow the browsing state's invariants. Run in the sanitizer build, this also catches memory
// errors and leaks anywhere on those paths.
#include "App.h"
#include "Files.h"
#include "IconReader.h"
#include "RealFiles.h"
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

#include <fstream>
#include <random>
#include <sys/stat.h>

using namespace quorvane;
using browser::frmQuorvane;

namespace {

// Real files, damaged copies of them, and things that are not program files at all.
QStringList monkeyFiles(const QTemporaryDir& dir, std::mt19937& random) {
    using namespace quorvane::testing;
    QStringList files;
    for (const std::string& f : {kWineDir + "/user32.dll", kWineDir + "/winecfg.exe",
                                 kWineDir + "/notepad.exe", kWineDir + "/comctl32.dll",
                                 kWineFontsDir + "/coure.fon", kNsisDir + "/Stubs/zlib-x86-unicode",
                                 kNsisDir + "/Contrib/Graphics/Icons/modern-install.ico"})
        files << QString::fromStdString(f);
    const std::vector<std::uint8_t> stub = readWholeFile(kNsisDir + "/Stubs/lzma-amd64-unicode");
    for (int i = 0; i < 24; ++i) {
        std::vector<std::uint8_t> bytes = stub;
        if (i % 2)
            bytes.resize(std::uniform_int_distribution<std::size_t>(0, bytes.size())(random));
        else
            for (int flips = 0; flips < 8; ++flips)
                bytes[std::uniform_int_distribution<std::size_t>(0, bytes.size() - 1)(random)] ^=
                    0xFF;
        const QString path = dir.filePath(QStringLiteral("damaged-%1.exe").arg(i));
        std::ofstream(path.toStdString(), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        files << path;
    }
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ::mkfifo(fifo.toLocal8Bit().constData(), 0600);
    files << fifo << dir.path() << dir.filePath(QStringLiteral("missing.exe"))
          << QStringLiteral("/dev/zero");
    return files;
}

} // namespace

TEST(Monkey, RandomActionsKeepTheArrowsTrue) {
    const unsigned start = 20261206; // the random sequence, fixed so that a failure repeats
    std::mt19937 random(start);
    QTemporaryDir dir;
    const QStringList files = monkeyFiles(dir, random);
    quorvane::testing::WindowSeams seams;
    frmQuorvane::Unload();
    frmQuorvane& form = frmQuorvane::instance();
    form.show();
    bool overflowed = false; // the last open stopped at a count above 32767
    int opens = 0, steps = 0, copies = 0, abouts = 0;
    for (int action = 0; action < 5000; ++action) {
        SCOPED_TRACE("sequence " + std::to_string(start) + ", action " + std::to_string(action));
        switch (std::uniform_int_distribution<int>(0, 19)(random)) {
        case 0:
        case 1: { // open a file, or cancel the dialog
            const qsizetype pick =
                std::uniform_int_distribution<qsizetype>(0, files.size())(random);
            const QString path = pick < files.size() ? files[pick] : QString();
            seams.answers.push_back(path);
            if (!path.isEmpty())
                overflowed = icons::countIcons(platform::systemPath(path)) > 32767;
            QTest::mouseClick(form.cmdButton(0), Qt::LeftButton);
            ++opens;
            break;
        }
        case 2: { // copy
            QTest::mouseClick(form.cmdButton(1), Qt::LeftButton);
            ASSERT_EQ(QGuiApplication::clipboard()->image().size(), QSize(35, 35));
            ++copies;
            break;
        }
        case 3:
            if (action % 10 == 0) { // the about window, opened and closed
                QTimer::singleShot(0, [] {
                    if (auto* about = about::frmAbout::loaded())
                        about->cmdOK->click();
                });
                form.mnuHelpItem(4)->trigger();
                ++abouts;
            }
            break;
        default: { // a step, with whichever arrow is there
            const std::int16_t arrow =
                static_cast<std::int16_t>(std::uniform_int_distribution<int>(0, 1)(random));
            if (!form.cmdArrow(arrow)->isHidden()) {
                QTest::mouseClick(form.cmdArrow(arrow), Qt::LeftButton);
                ++steps;
            }
            break;
        }
        }
        const bool back = !form.cmdArrow(0)->isHidden();
        const bool forward = !form.cmdArrow(1)->isHidden();
        if (basQuorvane::IconCount > 1 && !overflowed) {
            ASSERT_GE(basQuorvane::IconIndex, 0);
            ASSERT_LE(basQuorvane::IconIndex, basQuorvane::IconCount - 1);
            ASSERT_EQ(back, basQuorvane::IconIndex > 0);
            ASSERT_EQ(forward, basQuorvane::IconIndex < basQuorvane::IconCount - 1);
        } else {
            ASSERT_FALSE(back);
            ASSERT_FALSE(forward);
        }
    }
    // The run did what it is meant to.
    EXPECT_GT(opens, 100);
    EXPECT_GT(steps, 200);
    EXPECT_GT(copies, 50);
    EXPECT_GT(abouts, 5);
    // Only the no-icon message, never a run-time error.
    for (const auto& m : seams.messages)
        ASSERT_EQ(m.prompt, QStringLiteral("このファイルはアイコンを持っていません。"));
    frmQuorvane::Unload();
}
