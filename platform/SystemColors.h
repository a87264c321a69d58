// The system's colours by their index, as the colours of the palette roles that stand for them.
#pragma once

#include <QColor>
#include <QPalette>

class QWidget;

namespace quorvane::platform {

inline constexpr int COLOR_SCROLLBAR = 0;
inline constexpr int COLOR_WINDOWTEXT = 8;
inline constexpr int COLOR_BTNFACE = 15;

// The palette role that stands for system colour `index`; Window for an index it does not know.
QPalette::ColorRole systemColorRole(int index);
// System colour `index` as the application's palette gives it now.
QColor systemColor(int index);
// Fills the widget's background with system colour `index`: its BackColor.
void setBackColor(QWidget* widget, int index);

} // namespace quorvane::platform
