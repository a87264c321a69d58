// WinHelpA over Qt Assistant: the help file is a Qt help collection, driven through the
// viewer's remote-control channel. The viewer is a separate process; nothing here waits for it.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>

class QProcess;
class QWidget;

namespace quorvane::platform {

inline constexpr std::uint32_t HELP_QUIT = 2;
inline constexpr std::uint32_t HELP_CONTENTS = 3;
inline constexpr std::uint32_t HELP_KEY = 0x101;
inline constexpr std::uint32_t HELP_PARTIALKEY = 0x105;

struct HelpRequest {
    QString helpFile;
    std::uint32_t command = 0;
    std::uintptr_t data = 0;
};
using HelpHandler = std::function<void(const HelpRequest&)>;

// HELP_CONTENTS shows the help file's contents and its contents topic, starting the viewer
// for that file when it is not running; HELP_KEY and HELP_PARTIALKEY show the keyword index;
// HELP_QUIT closes the viewer this program started. Other commands do nothing. Returns
// nonzero when the request was handed to a viewer. A viewer that cannot be started is
// reported in a message box.
std::int32_t WinHelpA(const QWidget* hWnd, const QString& lpszHelp, std::uint32_t uCommand,
                      std::uintptr_t dwData);

// The viewer process this program started, if it runs; for tests.
const QProcess* helpViewerProcess();

} // namespace quorvane::platform
