// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>
#include <QString>
#include <optional>

class QWidget;

namespace quel::widgets {

// The frame rectangle moved and, where it must, shrunk so that all of it lies inside area.
QRect FitFrameIntoArea(QRect frame, const QRect& area);

// The window's frame around its client area: the real one once the window manager has
// framed it, else an estimate of a usual title bar and border (none without a window
// system).
QMargins WindowFrameMargins(const QWidget* window);

// Where a window goes: its saved frame rectangle clamped to the work area of the screen it
// lands on (the screen under its centre, else the primary one), else defaultSize centred in
// the primary screen's work area. Returned as a frame rectangle.
QRect PlacedFrame(const std::optional<QRect>& saved, const QSize& defaultSize);

// Puts a top-level window where PlacedFrame says, before it is shown, and keeps it there:
// once shown its real frame is fitted into the work area again, and whenever it closes its
// frame rectangle is saved under key (QSettings "windows/KEY"), to be put back next time.
// The window's minimum size is kept, also on a screen smaller than it.
void KeepWindowPlacement(QWidget* window, const QString& key, const QSize& defaultSize);

// The saved frame rectangle of key, if any.
std::optional<QRect> SavedWindowFrame(const QString& key);
void SaveWindowFrame(const QString& key, const QRect& frame);

} // namespace quel::widgets
