// The windowing services the windows call: message boxes, the mouse pointer, the screen,
// the clipboard, the instance handle, ending the program and the event dispatch. Each
// service that a user answers or that ends the process has a seam that tests replace.
#pragma once

#include <QImage>
#include <QString>

#include <cstdint>
#include <functional>

class QWidget;

namespace quorvane::platform {

// Message box styles and the answer of its one button.
inline constexpr int vbOKOnly = 0;
inline constexpr int vbCritical = 16;
inline constexpr int vbExclamation = 48;
inline constexpr int vbOK = 1;

struct MessageBoxRequest {
    QString prompt;
    int buttons = vbOKOnly;
    QString title;
};
using MessageBoxHandler = std::function<int(const MessageBoxRequest&)>;

// Shows a modal message box with an "OK" button; returns vbOK.
int MsgBox(const QString& prompt, int buttons, const QString& title);

// The program-wide mouse pointer: one value, not a stack.
inline constexpr int vbDefault = 0;
inline constexpr int vbHourglass = 11;
void setMousePointer(int pointer);
int mousePointer();

// The primary screen's size in twips.
int screenWidthTwips();
int screenHeightTwips();

// Ends the program at once: no close handler of any window runs.
void End();

// Runs an event handler. A run-time error that the handler lets pass is shown in a message
// box (the application title as caption, the error's number and description); the program
// goes on.
void dispatchEvent(const std::function<void()>& handler);

// The system clipboard: emptied, then given a bitmap. Never blocks.
void clipboardClear();
void clipboardSetImage(const QImage& image);

// GetWindowLongA with GWL_HINSTANCE gives the program's module instance handle (nonzero);
// any other index gives 0.
inline constexpr int GWL_HINSTANCE = -6;
std::int32_t GetWindowLongA(const QWidget* hWnd, int nIndex);

} // namespace quorvane::platform
