// The file-open dialog over Qt's own (non-native) QFileDialog.
#include "CommonDialog.h"

#include "RuntimeError.h"
#include "SystemServices.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>

namespace quorvane::platform {
namespace {

QStringList splitPatterns(const QString& patterns) {
    QStringList out;
    for (const QString& p : patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        out << (p.trimmed() == QLatin1String("*.*") ? QStringLiteral("*") : p.trimmed());
    return out;
}

std::optional<QString> runRealDialog(QWidget* owner, const FileDialogRequest& request) {
    QFileDialog dialog(owner, request.title, request.initialDirectory);
    dialog.setObjectName(QStringLiteral("CMDialog1"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode((request.flags & OFN_FILEMUSTEXIST) ? QFileDialog::ExistingFile
                                                           : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::ReadOnly, true);
    dialog.setNameFilters(request.descriptions);
    // Qt reads the patterns from the descriptions' parentheses; the filter's own pattern
    // parts decide instead, and they match as the system matches them.
    auto* model = dialog.findChild<QFileSystemModel*>();
    auto applyPatterns = [&](const QString& description) {
        const auto index = request.descriptions.indexOf(description);
        if (model && index >= 0) {
            model->setFilter(model->filter() & ~QDir::CaseSensitive);
            model->setNameFilters(splitPatterns(request.patterns.value(index)));
        }
    };
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, applyPatterns);
    const QString selected =
        request.descriptions.value(request.filterIndex - 1, request.descriptions.value(0));
    dialog.selectNameFilter(selected);
    applyPatterns(selected);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

} // namespace

CommonDialog::CommonDialog(QWidget* owner) : QObject(owner), m_owner(owner) {}

FileDialogRequest CommonDialog::request() const {
    FileDialogRequest r;
    r.title = DialogTitle;
    const QStringList parts = Filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        r.descriptions << parts[i];
        r.patterns << parts[i + 1];
    }
    r.filterIndex = FilterIndex;
    r.flags = Flags;
    const auto nul = InitDir.indexOf(QChar(0));
    r.initialDirectory = nul >= 0 ? InitDir.left(nul) : InitDir;
    r.fileName = FileName;
    return r;
}

void CommonDialog::ShowOpen() {
    const FileDialogRequest r = request();
    const std::optional<QString> chosen =
        services().fileDialog ? services().fileDialog(r) : runRealDialog(m_owner, r);
    if (!chosen) {
        if (CancelError)
            throw RuntimeError(kErrCancel);
        return;
    }
    Confirm(*chosen);
}

void CommonDialog::Confirm(const QString& chosen) {
    FileName = QFileInfo(chosen).absoluteFilePath();
    QDir::setCurrent(QFileInfo(FileName).absolutePath());
}

} // namespace quorvane::platform
