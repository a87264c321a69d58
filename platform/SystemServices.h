// The system services that the windows reach through the platform layer, in one place. Each
// member, when set, stands in for the real service; an empty member means the real one. Tests
// replace them as a whole with a ServicesScope, which restores what was there.
#pragma once

#include "CommonDialog.h"
#include "HelpViewer.h"
#include "Registry.h"
#include "Windowing.h"

#include <QString>

#include <cstdint>
#include <functional>

namespace quorvane::platform {

struct SystemServices {
    MessageBoxHandler messageBox = {};
    FileDialogHandler fileDialog = {};
    HelpHandler help = {};
    std::function<bool(const QString&)> startProgram = {}; // whether it started
    RegistryHive localMachine = {};
    std::function<std::uint64_t()> totalPhysicalMemory = {}; // in bytes
    std::function<void()> end = {};
};

// The services in use.
const SystemServices& services();

// Puts services in place for its lifetime and then restores the ones it replaced.
class ServicesScope {
  public:
    explicit ServicesScope(SystemServices replacement);
    ~ServicesScope();
    ServicesScope(const ServicesScope&) = delete;
    ServicesScope& operator=(const ServicesScope&) = delete;

  private:
    SystemServices m_replaced;
};

} // namespace quorvane::platform
