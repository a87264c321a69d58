// Real files for tests, and test doubles for the services a user answers: message boxes, the file
// dialog (unless the real one is asked for) and the end of the program, installed with any other
// services a test gives, for the lifetime of one object, after which the services that were there
// come back. Every call is recorded.
#pragma once

#include "QtPrinters.h"
#include "SystemServices.h"

#include <QFile>

#include <deque>
#include <optional>
#include <vector>

namespace quorvane::testing {

// Windows files that Debian packages install (wine, nsis), used as test oracles.
inline const QString kWineDir = QStringLiteral("/usr/lib/x86_64-linux-gnu/wine/x86_64-windows");
inline const QString kNsisDir = QStringLiteral("/usr/share/nsis");

inline QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

class WindowSeams {
  public:
    explicit WindowSeams(platform::SystemServices others = {}, bool realDialog = false)
        : m_scope(withOurs(std::move(others), realDialog)) {}

    std::vector<platform::MessageBoxRequest> messages;
    std::vector<platform::FileDialogRequest> dialogs;
    // what the next dialogs answer; an empty answer, or none, cancels
    std::deque<QString> answers;
    int ends = 0;

  private:
    platform::SystemServices withOurs(platform::SystemServices s, bool realDialog) {
        s.messageBox = [this](const platform::MessageBoxRequest& r) {
            messages.push_back(r);
            return platform::vbOK;
        };
        if (!realDialog)
            s.fileDialog = [this](const platform::FileDialogRequest& r) -> std::optional<QString> {
                dialogs.push_back(r);
                const QString answer = answers.empty() ? QString() : answers.front();
                if (!answers.empty())
                    answers.pop_front();
                return answer.isEmpty() ? std::nullopt : std::make_optional(answer);
            };
        s.end = [this] { ++ends; };
        return s;
    }
    platform::ServicesScope m_scope;
};

} // namespace quorvane::testing
