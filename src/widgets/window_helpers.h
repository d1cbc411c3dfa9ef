#pragma once

#include <QString>

class QWidget;

namespace quel::widgets {

// True when a visible top-level window of the program has exactly this caption.
bool IsWindowOpen(const QString& caption);

// Lets window events run until no window with this caption is open, so a modeless dialog
// can be awaited like a modal one while the rest of the program keeps working. Returns at
// once when none is open, and when the application is shutting down.
void WaitWhileWindowOpen(const QString& caption);

// Centres a window in the screen's work area (the task bar left out).
void CenterWindow(QWidget* window);

// Keeps a window above all ordinary windows without moving or resizing it.
void MakeTopmost(QWidget* window);

} // namespace quel::widgets
