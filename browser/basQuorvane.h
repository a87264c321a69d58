// The browsing state: which program file is open, how many icons it holds and which one is on
// show, and the open operation. Every window of the program reaches it.
#pragma once

#include "IconApi.h"

#include <QString>

#include <cstdint>

namespace quorvane::basQuorvane {

extern HINSTANCE InstanceHandle;
extern QString IconFilePath; // full path of the open file, as the file dialog returned it
extern std::int16_t IconCount;
extern std::int16_t IconIndex;

// Opens IconFilePath: hides both arrows, clears the picture, counts the icons, draws icon 0
// at (2, 2) and shows the forward arrow when there are more. A file whose first icon cannot
// be drawn gets the no-icon message. A count above 32767 raises the overflow error after
// the arrows were hidden and the picture cleared.
void OpenIconFile();

} // namespace quorvane::basQuorvane
