// Sizing a top-level window by its outer size, frame included. The frame is
// the window manager's: its margins are known only once the window is
// shown, and a window without a frame (no window manager, or the offscreen
// platform) has an outer size equal to its client size.
#pragma once

#include <QMargins>
#include <QSize>

class QWidget;

namespace Unit1::windowsizing {

// Margins between the client area and the outer frame as the window system
// reports them now; zero before the window is shown.
QMargins frameMargins(const QWidget& window);

// Fixes the client size so that the outer size becomes outer with the
// current frame margins. The top-left corner stays where it is.
void setOuterSize(QWidget& window, QSize outer);

// Moves the window so that its outer frame is centred on the available
// area of its screen.
void centreOnScreen(QWidget& window);

}  // namespace Unit1::windowsizing
