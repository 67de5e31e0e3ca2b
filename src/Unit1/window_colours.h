// The colours the window sets by hand rather than leaving to its palette:
// the CRC verdict of the packet number and the background of the
// calibration editors in their two modes. Each is taken from the palette
// the widget inherits and taken again whenever that palette changes (a
// desktop switching between its light and dark theme while the program
// runs), so it never stays behind in a theme that is no longer shown.
#pragma once

class QLabel;
class QLineEdit;

namespace Unit1::windowcolours {

// Draws the packet number's text in the colour of a good or bad frame,
// readable on the background behind it (readable_colour.h).
void showVerdict(QLabel& packetNumber, bool crcGood);

// From now on the editor's background follows its mode: the button face
// while it is read-only (view mode), the window colour of editable text
// while it is not (edit mode).
void followEditMode(QLineEdit& editor);

}  // namespace Unit1::windowcolours
