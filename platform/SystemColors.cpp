// The system colours mapped onto Qt's palette roles.
#include "SystemColors.h"

#include <QApplication>
#include <QWidget>

#include <array>
#include <utility>

namespace quorvane::platform {

QPalette::ColorRole systemColorRole(int index) {
    // Index: the role whose colour the same part of a Qt window takes. The scroll bar's light
    // grey is Midlight (Fusion draws the scroll-bar groove in it); the 3D face, the menu and
    // the application workspace are the window colour; window and menu text are text.
    static constexpr std::array<std::pair<int, QPalette::ColorRole>, 22> kRoles = {{
        {0, QPalette::Midlight},         // COLOR_SCROLLBAR
        {1, QPalette::Shadow},           // COLOR_BACKGROUND (the desktop)
        {2, QPalette::Highlight},        // COLOR_ACTIVECAPTION
        {3, QPalette::Mid},              // COLOR_INACTIVECAPTION
        {4, QPalette::Window},           // COLOR_MENU
        {5, QPalette::Base},             // COLOR_WINDOW
        {6, QPalette::Shadow},           // COLOR_WINDOWFRAME
        {7, QPalette::WindowText},       // COLOR_MENUTEXT
        {8, QPalette::Text},             // COLOR_WINDOWTEXT
        {9, QPalette::HighlightedText},  // COLOR_CAPTIONTEXT
        {12, QPalette::Window},          // COLOR_APPWORKSPACE
        {13, QPalette::Highlight},       // COLOR_HIGHLIGHT
        {14, QPalette::HighlightedText}, // COLOR_HIGHLIGHTTEXT
        {15, QPalette::Button},          // COLOR_BTNFACE
        {16, QPalette::Mid},             // COLOR_BTNSHADOW
        {17, QPalette::PlaceholderText}, // COLOR_GRAYTEXT
        {18, QPalette::ButtonText},      // COLOR_BTNTEXT
        {20, QPalette::Light},           // COLOR_BTNHIGHLIGHT
        {21, QPalette::Shadow},          // COLOR_3DDKSHADOW
        {22, QPalette::Midlight},        // COLOR_3DLIGHT
        {23, QPalette::ToolTipText},     // COLOR_INFOTEXT
        {24, QPalette::ToolTipBase},     // COLOR_INFOBK
    }};
    for (const auto& [known, role] : kRoles)
        if (known == index)
            return role;
    return QPalette::Window;
}

QColor systemColor(int index) {
    return QApplication::palette().color(systemColorRole(index));
}

void setBackColor(QWidget* widget, int index) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, systemColor(index));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

} // namespace quorvane::platform
