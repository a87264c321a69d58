// The Help menu and closing the window: what reaches the help viewer, through its seam and
// through a real Qt Assistant; and the help file itself.
#include "App.h"
#include "HelpViewer.h"
#include "QtPrinters.h"
#include "WindowSeams.h"
#include "frmAbout.h"
#include "frmQuorvane.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <optional>

using namespace quorvane;
using namespace quorvane::platform;
using browser::frmQuorvane;

namespace {

const QString kHelpFile = QStringLiteral(QUORVANE_HELP_FILE);

class HelpMenu : public ::testing::Test {
  protected:
    void SetUp() override {
        frmQuorvane::Unload();
        App().HelpFile = QStringLiteral("Quorvane.hlp");
        form = &frmQuorvane::instance();
        form->show();
    }
    void TearDown() override { frmQuorvane::Unload(); }

    std::vector<HelpRequest> requests;
    quorvane::testing::WindowSeams seams{
        {.help = [this](const HelpRequest& r) { requests.push_back(r); }}};
    frmQuorvane* form = nullptr;
};

} // namespace

TEST_F(HelpMenu, ItemsReachTheViewerAndClosingTellsItToQuit) {
    const QString path = App().Path + QStringLiteral("/Quorvane.hlp");
    for (int item : {0, 1, 2})
        form->mnuHelpItem(std::int16_t(item))->trigger();
    ASSERT_EQ(requests.size(), 3u);
    const std::uint32_t commands[] = {HELP_CONTENTS, HELP_PARTIALKEY, HELP_KEY};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(requests[i].helpFile, path);
        EXPECT_EQ(requests[i].command, commands[i]);
        EXPECT_EQ(requests[i].data, 0u);
    }
    // Indexes without an item (3 is the separator) do nothing, and open no about window.
    bool aboutOpened = false;
    QTimer::singleShot(0, [&] {
        if (auto* about = about::frmAbout::loaded())
            aboutOpened = true, about->done(0);
    });
    for (int item : {3, 5, -1})
        form->mnuHelpItem_Click(std::int16_t(item));
    QCoreApplication::processEvents();
    EXPECT_FALSE(aboutOpened);
    // Exit sends nothing; closing the window sends HELP_QUIT.
    requests.clear();
    QTest::mouseClick(form->cmdButton(2), Qt::LeftButton);
    EXPECT_TRUE(requests.empty());
    form->close();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].helpFile, path);
    EXPECT_EQ(requests[0].command, HELP_QUIT);
    EXPECT_EQ(seams.ends, 2);
}

TEST(HelpViewer, DrivesARealAssistantAndQuitEndsIt) {
    ASSERT_EQ(helpViewerProcess(), nullptr);
    EXPECT_NE(WinHelpA(nullptr, kHelpFile, HELP_CONTENTS, 0), 0);
    const QProcess* viewer = helpViewerProcess();
    ASSERT_NE(viewer, nullptr);
    const qint64 pid = viewer->processId();
    EXPECT_GT(pid, 0);
    QTest::qWait(1500); // let it come up and read its commands
    EXPECT_EQ(helpViewerProcess(), viewer) << "the viewer ended by itself";
    // The index goes to the same viewer; other commands do nothing.
    EXPECT_NE(WinHelpA(nullptr, kHelpFile, HELP_PARTIALKEY, 0), 0);
    EXPECT_NE(WinHelpA(nullptr, kHelpFile, HELP_KEY, 0), 0);
    EXPECT_EQ(WinHelpA(nullptr, kHelpFile, 0x0001, 0), 0);
    EXPECT_EQ(helpViewerProcess(), viewer);
    EXPECT_EQ(helpViewerProcess()->processId(), pid);
    // Quit ends the process this program started.
    EXPECT_NE(WinHelpA(nullptr, kHelpFile, HELP_QUIT, 0), 0);
    EXPECT_EQ(helpViewerProcess(), nullptr);
    EXPECT_NE(::kill(static_cast<pid_t>(pid), 0), 0);
}

// A stand-in viewer that writes the remote-control commands it receives to a file, so the
// commands themselves can be checked.
class RecordingViewer : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        const QString script = dir.filePath(QStringLiteral("viewer"));
        QFile file(script);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\nexec cat >\"$0.commands\"\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        viewer.emplace(SystemServices{.helpViewerProgram = script});
    }
    void TearDown() override { WinHelpA(nullptr, kHelpFile, HELP_QUIT, 0); }
    QString commands() const {
        QFile file(dir.filePath(QStringLiteral("viewer.commands")));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    QTemporaryDir dir;
    std::optional<ServicesScope> viewer;
};

TEST_F(RecordingViewer, ContentsOpensTheCollectionsHomePage) {
    ASSERT_NE(WinHelpA(nullptr, kHelpFile, HELP_CONTENTS, 0), 0);
    ASSERT_NE(WinHelpA(nullptr, kHelpFile, HELP_PARTIALKEY, 0), 0);
    const QString expected = QStringLiteral(
        "show contents;setSource qthelp://org.quorvane.help/doc/index.html\nshow index\n");
    EXPECT_TRUE(QTest::qWaitFor([&] { return commands() == expected; }, 5000))
        << commands().toStdString();
}

TEST_F(RecordingViewer, AFileThatIsNoHelpCollectionStillShowsTheContents) {
    const QString damaged = dir.filePath(QStringLiteral("damaged.hlp"));
    QFile file(damaged);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
    file.close();
    for (const QString& help : {damaged, dir.filePath(QStringLiteral("missing.hlp"))}) {
        SCOPED_TRACE(help.toStdString());
        QFile::remove(dir.filePath(QStringLiteral("viewer.commands")));
        ASSERT_NE(WinHelpA(nullptr, help, HELP_CONTENTS, 0), 0);
        EXPECT_TRUE(QTest::qWaitFor([&] { return commands() == "show contents\n"; }, 5000))
            << commands().toStdString();
        WinHelpA(nullptr, help, HELP_QUIT, 0);
    }
}

TEST(HelpViewer, AViewerThatCannotStartIsReported) {
    quorvane::testing::WindowSeams seams({.helpViewerProgram = "/nonexistent/assistant"});
    EXPECT_EQ(WinHelpA(nullptr, kHelpFile, HELP_CONTENTS, 0), 0);
    ASSERT_EQ(seams.messages.size(), 1u);
    EXPECT_EQ(seams.messages[0].prompt, QStringLiteral("ヘルプ ビューアを起動できません。"));
    EXPECT_EQ(helpViewerProcess(), nullptr);
}
