#include "Unit1/readable_colour.h"

#include <algorithm>
#include <cmath>

namespace Unit1::readablecolour {
namespace {

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};

double linearChannel(std::uint8_t value)
{
    const double c = value / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

std::uint8_t mixChannel(std::uint8_t from, std::uint8_t to, int step)
{
    // step of 255 parts on the way from one value to the other, in sRGB.
    return static_cast<std::uint8_t>(std::lround(from + (to - from) * step / 255.0));
}

}  // namespace

double relativeLuminance(Rgb colour)
{
    return 0.2126 * linearChannel(colour.r) + 0.7152 * linearChannel(colour.g) +
           0.0722 * linearChannel(colour.b);
}

double contrastRatio(Rgb a, Rgb b)
{
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool isDark(Rgb background) { return contrastRatio(background, kWhite) > contrastRatio(background, kBlack); }

Rgb readableOn(Rgb colour, Rgb background, double goal)
{
    const Rgb end = isDark(background) ? kWhite : kBlack;
    // Luminance grows or falls steadily along the way, so the first step
    // that reaches the goal is the least change; the end itself always does
    // for any goal up to 4.5.
    for (int step = 0; step < 255; ++step) {
        const Rgb mixed{mixChannel(colour.r, end.r, step), mixChannel(colour.g, end.g, step),
                        mixChannel(colour.b, end.b, step)};
        if (contrastRatio(mixed, background) >= goal)
            return mixed;
    }
    return end;
}

Rgb verdictColour(bool crcGood, Rgb background, Rgb paletteText)
{
    if (!isDark(background)) {
        const Rgb designed = crcGood ? kGoodFrame : kBadFrame;
        if (contrastRatio(designed, background) >= kLeastContrast)
            return designed;
        return readableOn(designed, background, kTextContrast);
    }
    return readableOn(crcGood ? paletteText : kBadFrame, background, kTextContrast);
}

}  // namespace Unit1::readablecolour
