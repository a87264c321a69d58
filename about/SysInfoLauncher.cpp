// The system-information button.
#include "frmAbout.h"

namespace quorvane::about {

void frmAbout::cmdSysInfo_Click() {}

} // namespace quorvane::about
