// The real file-open dialog (Qt's own QFileDialog), driven as a user drives it: its filters,
// and a name that does not exist. (The end-to-end test opens and cancels through it too.)
#include "QtPrinters.h"
#include "SystemServices.h"
#include "basQuorvane.h"
#include "frmQuorvane.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

using namespace quorvane;
using browser::frmQuorvane;

namespace {

class RealFileDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        frmQuorvane::Unload();
        basQuorvane::IconFilePath.clear();
        form = &frmQuorvane::instance();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    }
    void TearDown() override { frmQuorvane::Unload(); }

    // Clicks Open and, once the dialog is up, lets `user` act on it.
    void withDialog(const std::function<void(QFileDialog*)>& user) {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            // A dialog that the test failed to close must not hang the run.
            QTimer::singleShot(10000, dialog, [dialog] {
                ADD_FAILURE() << "the dialog was left open";
                dialog->reject();
            });
            user(dialog);
            ran = true;
        });
        QTest::mouseClick(form->cmdButton(0), Qt::LeftButton);
        EXPECT_TRUE(ran);
    }

    // The names the dialog lists in its current folder, once it has read the folder.
    static QStringList listed(QFileDialog* dialog, int expected) {
        auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
        QStringList names;
        (void)QTest::qWaitFor(
            [&] {
                names.clear();
                const QModelIndex root = view->rootIndex();
                for (int row = 0; row < view->model()->rowCount(root); ++row)
                    names << view->model()->index(row, 0, root).data().toString();
                return names.size() == expected;
            },
            5000);
        names.sort();
        return names;
    }

    frmQuorvane* form = nullptr;
    QStringList messages;
    // Only the message box is a double here; the dialog is the real one.
    platform::ServicesScope services{{.messageBox = [this](const platform::MessageBoxRequest& r) {
        messages.push_back(r.prompt);
        return platform::vbOK;
    }}};
};

} // namespace

TEST_F(RealFileDialog, FiltersMatchWithoutRegardToCaseAndStarDotStarMatchesAll) {
    QTemporaryDir dir;
    for (const char* name : {"lower.exe", "UPPER.EXE", "Mixed.Exe", "noext", "notes.txt"})
        std::ofstream(dir.filePath(QString::fromLatin1(name)).toStdString()) << "x";
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    withDialog([&](QFileDialog* dialog) {
        auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        ASSERT_NE(types, nullptr);
        ASSERT_EQ(types->count(), 2);
        EXPECT_EQ(types->itemText(0), QStringLiteral("Executable Files (*.EXE)"));
        EXPECT_EQ(types->itemText(1), QStringLiteral("All Files (*.*)"));
        EXPECT_EQ(types->currentIndex(), 0);
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("ファイルを開く"));
        EXPECT_EQ(dialog->directory().path(), dir.path()); // it starts in the current directory
        EXPECT_EQ(listed(dialog, 3), (QStringList{"Mixed.Exe", "UPPER.EXE", "lower.exe"}));
        types->setFocus();
        QTest::keyClick(types, Qt::Key_Down); // the user picks "All Files (*.*)"
        EXPECT_EQ(types->currentIndex(), 1);
        EXPECT_EQ(listed(dialog, 5),
                  (QStringList{"Mixed.Exe", "UPPER.EXE", "lower.exe", "noext", "notes.txt"}));
        // A name that does not exist is refused with a warning, and the dialog stays open.
        auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        edit->setText(QStringLiteral("missing.exe"));
        QString warning;
        QTimer::singleShot(0, [&warning] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                warning = box->text();
                box->accept();
            }
        });
        QTest::keyClick(edit, Qt::Key_Return);
        EXPECT_TRUE(warning.contains(QStringLiteral("missing.exe"))) << warning.toStdString();
        EXPECT_TRUE(dialog->isVisible());
        edit->setText(QStringLiteral("notes.txt"));
        QTest::keyClick(edit, Qt::Key_Return);
    });
    // A file without icons chosen under "All Files": count 0 and the message.
    EXPECT_EQ(basQuorvane::IconFilePath, dir.filePath(QStringLiteral("notes.txt")));
    EXPECT_EQ(basQuorvane::IconCount, 0);
    EXPECT_EQ(messages, QStringList{QStringLiteral("このファイルはアイコンを持っていません。")});
}
