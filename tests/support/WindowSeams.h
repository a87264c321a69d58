// Test doubles for the services a user answers: message boxes, the file dialog and the end of
// the program. Installed for the lifetime of one object; every call is recorded.
#pragma once

#include "CommonDialog.h"
#include "QtPrinters.h"
#include "Windowing.h"

#include <QString>

#include <deque>
#include <optional>
#include <vector>

namespace quorvane::testing {

class WindowSeams {
  public:
    WindowSeams() {
        platform::setMessageBoxHandler([this](const platform::MessageBoxRequest& r) {
            messages.push_back(r);
            return platform::vbOK;
        });
        platform::setFileDialogHandler([this](const platform::FileDialogRequest& r) {
            dialogs.push_back(r);
            const QString answer = answers.empty() ? QString() : answers.front();
            if (!answers.empty())
                answers.pop_front();
            return answer.isEmpty() ? std::nullopt : std::make_optional(answer);
        });
        platform::setEndHandler([this] { ++ends; });
    }
    ~WindowSeams() {
        platform::setMessageBoxHandler({});
        platform::setFileDialogHandler({});
        platform::setEndHandler({});
    }
    WindowSeams(const WindowSeams&) = delete;
    WindowSeams& operator=(const WindowSeams&) = delete;

    std::vector<platform::MessageBoxRequest> messages;
    std::vector<platform::FileDialogRequest> dialogs;
    std::deque<QString> answers; // what the next dialogs answer; an empty answer, or none, cancels
    int ends = 0;
};

} // namespace quorvane::testing
