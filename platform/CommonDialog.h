// The file-open dialog with the properties the program sets on it. Cancelling raises the
// cancel error when CancelError is set; confirming yields the full path of an existing file.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>

class QWidget;

namespace quorvane::platform {

inline constexpr std::int32_t OFN_HIDEREADONLY = 0x4;
inline constexpr std::int32_t OFN_PATHMUSTEXIST = 0x800;
inline constexpr std::int32_t OFN_FILEMUSTEXIST = 0x1000;

struct FileDialogRequest {
    QString title;
    QStringList descriptions; // as the filter shows them
    QStringList patterns;     // the matching pattern lists, ";"-separated
    int filterIndex = 1;      // 1-based
    std::int32_t flags = 0;
    QString initialDirectory;
    QString fileName;
};

// Answers the dialog: the chosen path, or nothing for cancel.
using FileDialogHandler = std::function<std::optional<QString>(const FileDialogRequest&)>;

class CommonDialog : public QObject {
  public:
    explicit CommonDialog(QWidget* owner);

    bool CancelError = false;
    QString DialogTitle;
    QString Filter; // "description|pattern|description|pattern…"
    std::int16_t FilterIndex = 0;
    std::int32_t Flags = 0;
    QString InitDir; // read as the system reads text: up to the first NUL
    QString FileName;

    // Action = 1: shows the open dialog and waits. On confirmation FileName holds the full
    // path, and the process's current directory becomes the file's folder, as the system's
    // dialog does. A cancel raises error 32755 when CancelError is set.
    void ShowOpen();
    // What a confirmation does: FileName becomes the full path of `chosen`, and the process's
    // current directory the file's folder. For a file chosen by other means than the dialog.
    void Confirm(const QString& chosen);

    FileDialogRequest request() const;

  private:
    QWidget* m_owner;
};

} // namespace quorvane::platform
