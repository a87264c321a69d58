// The Help menu and the close handler of the main window.
#include "App.h"
#include "HelpViewer.h"
#include "Windowing.h"
#include "frmAbout.h"
#include "frmQuorvane.h"

namespace quorvane::browser {

using namespace quorvane::platform;

void frmQuorvane::mnuHelpItem_Click(std::int16_t Index) {
    switch (Index) {
    case 0:
        WinHelpA(this, App().HelpFile, HELP_CONTENTS, 0);
        break;
    case 1:
        WinHelpA(this, App().HelpFile, HELP_PARTIALKEY, 0);
        break;
    case 2:
        WinHelpA(this, App().HelpFile, HELP_KEY, 0);
        break;
    case 4:
        about::frmAbout::ShowModal(this, windowIcon());
        break;
    default:
        break;
    }
}

void frmQuorvane::Form_Unload(int&) {
    WinHelpA(this, App().HelpFile, HELP_QUIT, 0);
    End();
}

} // namespace quorvane::browser
