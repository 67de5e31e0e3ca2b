// The contrast measure and the colour of the CRC verdict, without a window.

#include <gtest/gtest.h>

#include "Unit1/readable_colour.h"

using namespace Unit1::readablecolour;

namespace {

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};

}  // namespace

TEST(ReadableColour, ContrastRatioMatchesTheKnownFigures)
{
    struct Case {
        Rgb a, b;
        double ratio;
    };
    const Case cases[] = {
        {kBlack, kWhite, 21.0},
        {kWhite, kBlack, 21.0},                // either order
        {{118, 118, 118}, kWhite, 4.54},       // the classic lightest grey for text on white
        {{255, 0, 0}, kWhite, 4.00},           // pure red on white
        {{255, 0, 0}, {239, 239, 239}, 3.47},  // red on a light window face
        {kBlack, {50, 50, 50}, 1.64},          // black on a dark theme's grey
        {{255, 0, 0}, {50, 50, 50}, 3.21},
        {{12, 34, 56}, {12, 34, 56}, 1.0},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(contrastRatio(c.a, c.b), c.ratio, 0.01)
            << int(c.a.r) << "," << int(c.a.g) << "," << int(c.a.b) << " on " << int(c.b.r) << ","
            << int(c.b.g) << "," << int(c.b.b);
    EXPECT_DOUBLE_EQ(relativeLuminance(kBlack), 0.0);
    EXPECT_DOUBLE_EQ(relativeLuminance(kWhite), 1.0);
}

TEST(ReadableColour, LightBackgroundsKeepTheDesignedVerdictColours)
{
    // Window faces of light palettes: the toolkit's own, the classic desktop
    // face, GTK's light theme, white.
    for (const Rgb background : {Rgb{239, 239, 239}, Rgb{240, 240, 240}, Rgb{246, 245, 244}, kWhite}) {
        EXPECT_EQ(verdictColour(true, background, kBlack), kGoodFrame);
        EXPECT_EQ(verdictColour(false, background, kBlack), kBadFrame);
        // The palette's text colour has no say on a light face.
        EXPECT_EQ(verdictColour(true, background, {90, 90, 200}), kGoodFrame);
    }
}

TEST(ReadableColour, EveryBackgroundGetsReadableVerdictColours)
{
    struct Case {
        const char* name;
        Rgb background;
        Rgb paletteText;
    };
    const Case cases[] = {
        {"GTK dark", {50, 50, 50}, {240, 240, 240}},
        {"dark base", {36, 36, 36}, {240, 240, 240}},
        {"black", kBlack, kWhite},
        {"dark blue", {20, 30, 70}, {220, 220, 255}},
        {"dark, with dim text", {50, 50, 50}, {90, 90, 90}},
        {"mid grey", {150, 150, 150}, kBlack},
        {"light mid grey", {192, 192, 192}, kBlack},
        {"light", {239, 239, 239}, kBlack},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Rgb good = verdictColour(true, c.background, c.paletteText);
        const Rgb bad = verdictColour(false, c.background, c.paletteText);
        EXPECT_GE(contrastRatio(good, c.background), kLeastContrast);
        EXPECT_GE(contrastRatio(bad, c.background), kLeastContrast);
        // The bad verdict stays red: its red channel leads, green and blue
        // move together.
        EXPECT_GT(bad.r, bad.g);
        EXPECT_EQ(bad.g, bad.b);
        // And the two verdicts can be told apart.
        EXPECT_NE(good, bad);
    }
}

TEST(ReadableColour, DarkBackgroundsAimForTheContrastOfOrdinaryText)
{
    const Rgb gtkDark{50, 50, 50};
    // The palette's own text colour reads: it is the good verdict's colour.
    EXPECT_EQ(verdictColour(true, gtkDark, {240, 240, 240}), (Rgb{240, 240, 240}));
    // Pure red would pass the least contrast here (3.2) yet reads dimly in
    // small text: it lightens, no further than ordinary text needs.
    const Rgb bad = verdictColour(false, gtkDark, {240, 240, 240});
    EXPECT_EQ(bad.r, 255);
    EXPECT_GE(contrastRatio(bad, gtkDark), kTextContrast);
    EXPECT_LT(contrastRatio(bad, gtkDark), kTextContrast + 0.1);
    // Dim palette text is lifted as well.
    const Rgb dimText{90, 90, 90};
    const Rgb good = verdictColour(true, gtkDark, dimText);
    EXPECT_GE(contrastRatio(good, gtkDark), kTextContrast);
    EXPECT_GT(good.r, dimText.r);
    // On black pure red already reads.
    EXPECT_EQ(verdictColour(false, kBlack, kWhite), kBadFrame);
}

TEST(ReadableColour, ReadableOnMovesOnlyAsFarAsItMust)
{
    // Already readable: unchanged.
    EXPECT_EQ(readableOn({255, 0, 0}, kWhite, kLeastContrast), (Rgb{255, 0, 0}));
    // A mid grey background with pure red: darkened towards black.
    const Rgb midGrey{150, 150, 150};
    const Rgb darker = readableOn({255, 0, 0}, midGrey, kTextContrast);
    EXPECT_LT(darker.r, 255);
    EXPECT_EQ(darker.g, 0);
    EXPECT_GE(contrastRatio(darker, midGrey), kTextContrast);
    EXPECT_LT(contrastRatio(darker, midGrey), kTextContrast + 0.15);
    // The goal is met on the backgrounds closest to the turning point
    // between dark and light, where the ends only just reach it.
    for (int grey = 110; grey <= 125; ++grey) {
        const Rgb background{static_cast<std::uint8_t>(grey), static_cast<std::uint8_t>(grey),
                             static_cast<std::uint8_t>(grey)};
        for (const Rgb colour : {Rgb{255, 0, 0}, Rgb{128, 128, 128}, background})
            EXPECT_GE(contrastRatio(readableOn(colour, background, kTextContrast), background), kTextContrast)
                << grey;
    }
}
