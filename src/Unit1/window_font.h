// The window's font where Arial, the face its layout is measured for, is
// missing.
//
// Every control sits at a fixed pixel size chosen for Arial's letter widths
// and line height. Qt on Windows asks the system for no stand-in when a
// named face is not installed: it takes the first family of its own list,
// which may be anything. Under Wine without Arial that is "DejaVu Math TeX
// Gyre", whose line box as Windows reports it is four times its letters'
// height; a line edit centres that box in its 17 or 18 pixels and so draws
// its text above its own top, leaving the calibration editors and the spin
// boxes empty. Faces drawn to Arial's widths follow it in the window's font,
// so such a system shows the window with one of them; where Arial is
// present it is still the face the window gets.
#pragma once

#include <QFont>
#include <QStringList>

namespace Unit1::windowfont {

// Families drawn to Arial's widths and line height: Liberation Sans (Linux
// distributions, our own dependency) and Arimo (the same design as Google
// ships it).
QStringList arialTwins();

// `font` with the twins named after its families, each once.
QFont withArialTwins(QFont font);

}  // namespace Unit1::windowfont
