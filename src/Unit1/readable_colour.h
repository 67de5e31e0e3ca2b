// Contrast between two colours as WCAG measures it, and the colour the CRC
// verdict of the packet number is drawn in on a given background. Kept free
// of the toolkit so the rule can be read and tested on its own; the window
// (window_colours.cpp) feeds it the colours of its palette.
#pragma once

#include <cstdint>

namespace Unit1::readablecolour {

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// The verdict colours the window was drawn with on its light grey face.
inline constexpr Rgb kGoodFrame{0, 0, 0};
inline constexpr Rgb kBadFrame{255, 0, 0};

// WCAG's least contrast for large text and interface parts: below it a
// colour does not count as readable on its background.
inline constexpr double kLeastContrast = 3.0;
// WCAG's contrast for text of ordinary size; the packet number is 8 pt.
// A colour chosen in place of the designed one aims for this.
inline constexpr double kTextContrast = 4.5;

// Relative luminance of an sRGB colour, 0 (black) to 1 (white).
double relativeLuminance(Rgb colour);

// (lighter + 0.05) / (darker + 0.05): 1 for equal colours, 21 for black on
// white. Symmetric in its arguments.
double contrastRatio(Rgb a, Rgb b);

// A background on which white reads better than black.
bool isDark(Rgb background);

// colour itself if it reaches goal against background; otherwise the
// least step of colour towards white (on a dark background) or black (on a
// light one) that does. Either end reaches 4.5 : 1 against any background
// of its opposite kind, so a goal up to that is always met.
Rgb readableOn(Rgb colour, Rgb background, double goal);

// The colour of the packet number after a frame with a good or bad CRC.
// On a light background the designed black and red stay exactly as they
// are while they reach the least contrast; pure red fails that only on a
// mid grey, and then darkens. A dark background keeps nothing of the
// designed look (black on it is what the operator cannot read), so both
// verdicts aim for the contrast of ordinary text there: a good frame takes
// the palette's own text colour, a bad one a red lightened as little as
// that needs.
Rgb verdictColour(bool crcGood, Rgb background, Rgb paletteText);

}  // namespace Unit1::readablecolour
