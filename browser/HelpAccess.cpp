// The Help menu and the close handler of the main window.
#include "Windowing.h"
#include "frmQuorvane.h"

namespace quorvane::browser {

using namespace quorvane::platform;

void frmQuorvane::mnuHelpItem_Click(std::int16_t) {}

void frmQuorvane::Form_Unload(int&) {
    End();
}

} // namespace quorvane::browser
