// The about window: title, version, copyright, freeware notice and physical memory, and the
// button that starts the system information tool.
#pragma once

#include "ControlArray.h"
#include "PictureBox.h"
#include "Registry.h"

#include <QDialog>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include <array>
#include <cstdint>

namespace quorvane::about {

class frmAbout : public QDialog {
  public:
    // Loads the window afresh (controls, Form_Load), shows it modally above `owner` with the
    // owner's icon in its picture, and returns when it has been unloaded.
    static void ShowModal(QWidget* owner, const QIcon& ownerIcon);
    // The window while it is loaded, for tests; null otherwise.
    static frmAbout* loaded();

    platform::PictureBox* picIcon = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdSysInfo = nullptr;
    QLabel* lblCopyright = nullptr;
    std::array<QWidget*, 2> Line1{};
    QLabel* lblDescription = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblDisclaimer = nullptr;

    // Finds the system information tool through the registry and starts it, or tells the user
    // that system information cannot be used at this time.
    static void StartSysInfo();
    // Reads one value of one key as text into KeyVal: False (and KeyVal empty) when the key or
    // the value cannot be read; True for every type read, KeyVal unchanged for types other than
    // REG_SZ and REG_DWORD. A value with no data raises the invalid-argument error.
    static bool GetKeyValue(platform::HKEY KeyRoot, const QString& KeyName,
                            const QString& SubKeyRef, QString& KeyVal);

    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click();

    // The total physical memory in KB, formatted "###,###,###" with the user's thousands
    // separator; empty for 0.
    static QString GetPhysicalMemoryText();
    // The same formatting of a byte count; for tests.
    static QString memoryText(std::uint64_t totalBytes);

    // Esc closes the window through the OK button's handler.
    void reject() override;

  private:
    frmAbout(QWidget* owner, const QIcon& ownerIcon);
    QIcon m_ownerIcon;
    void createControls();
    void createButtons();
};

} // namespace quorvane::about
