// The main window: the icon display, its three command buttons, the arrows and the menus.
#pragma once

#include "CommonDialog.h"
#include "ControlArray.h"
#include "PictureBox.h"

#include <QGroupBox>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>

#include <cstdint>

namespace quorvane::browser {

class frmQuorvane : public QMainWindow {
  public:
    // The window's one instance, created and loaded (controls, Form_Load) on first use.
    static frmQuorvane& instance();
    static bool exists();
    // Destroys the window; the next use loads it anew.
    static void Unload();

    // Controls, in creation order.
    QWidget* client = nullptr;
    QGroupBox* Frame1 = nullptr;
    platform::ControlArray<QPushButton> cmdButton;
    platform::ControlArray<QPushButton> cmdArrow;
    platform::PictureBox* pctIcon = nullptr;
    platform::CommonDialog* CMDialog1 = nullptr;
    QMenu* mnuFile = nullptr;
    QMenu* mnuEdit = nullptr;
    QMenu* mnuHelp = nullptr;
    platform::ControlArray<QAction> mnuFileItem;
    platform::ControlArray<QAction> mnuEditItem;
    platform::ControlArray<QAction> mnuHelpItem;

    // Event handlers.
    void Form_Load();
    void cmdButton_Click(std::int16_t Index);
    void mnuFileItem_Click(std::int16_t Index);
    void mnuEditItem_Click(std::int16_t Index);
    void cmdArrow_Click(std::int16_t Index);
    void mnuHelpItem_Click(std::int16_t Index);
    void Form_Unload(int& Cancel);
    // A file dropped on the window: opened as the open dialog opens a file it confirms.
    void Form_OLEDragDrop(const QString& path);

  protected:
    void closeEvent(QCloseEvent* event) override;
    // Only a local file is taken; anything else is refused, with the no-drop pointer.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    frmQuorvane();
    void createControls();
    void createButtons();
    void createPicture();
    void createMenus();
};

} // namespace quorvane::browser
