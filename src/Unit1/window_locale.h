// The locale the window's own controls show and read numbers in.
//
// Qt hands every widget the computer's locale, and a spin box shows and
// reads its value in that locale's digits: under Persian, Arabic or Bengali
// settings the carrier frequency would read "۴۰۳۰۰۰", which the handlers,
// reading the editor's text, take for no number at all. The window's texts
// are Russian whatever the computer's settings, and so are its numbers:
// Latin digits, "," before decimals, no digit grouping.
#pragma once

#include <QLocale>

namespace Unit1::windowlocale {

// Russian with grouping neither shown nor accepted, so a typed "403,000" or
// "403 000" stays out of an editor whose text is read as a plain integer.
QLocale numbers();

}  // namespace Unit1::windowlocale
