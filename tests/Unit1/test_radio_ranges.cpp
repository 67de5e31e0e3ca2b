// The frequency and gain editors take their ranges from the radio
// settings' one home; the layout file repeats them for Designer. Both must
// say the same, or an edit to one side alone would go unnoticed until an
// operator met it.

#include <gtest/gtest.h>

#include <QMainWindow>
#include <QSpinBox>

#include <cstdint>
#include <ostream>

#include "Unit1/TForm1.h"
#include "protocol/radio_settings.h"
#include "support/window_harness.h"
#include "ui_TForm1.h"

namespace {

struct Range {
    int minimum, maximum, step;
    bool operator==(const Range&) const = default;
};

// A failure names the numbers, not the bytes of the struct.
void PrintTo(const Range& range, std::ostream* out)
{
    *out << range.minimum << ".." << range.maximum << " in steps of " << range.step;
}

Range rangeOf(const QSpinBox& box) { return {box.minimum(), box.maximum(), box.singleStep()}; }

const Range kFrequency{static_cast<int>(protocol::kFrequencyLowestKHz),
                       static_cast<int>(protocol::kFrequencyHighestKHz),
                       static_cast<int>(protocol::kFrequencyStepKHz)};
const Range kGain{protocol::kGainLowest, protocol::kGainHighest, 1};

TEST(RadioRanges, TheLayoutSaysWhatTheRadioSettingsSay)
{
    // The layout alone, before the window sets anything.
    QMainWindow host;
    Ui::TForm1 layout;
    layout.setupUi(&host);
    EXPECT_EQ(rangeOf(*layout.SpinEdit15), kFrequency);
    EXPECT_EQ(rangeOf(*layout.SpinEdit1), kGain);
    // Every value the layout starts with lies on the grid.
    EXPECT_EQ((layout.SpinEdit15->value() - kFrequency.minimum) % kFrequency.step, 0);
}

TEST(RadioRanges, TheWindowsEditorsTakeTheirRangesFromTheRadioSettings)
{
    // The window reads and, when it goes, writes settings.INI in the
    // current directory and opens the port it names: a scratch directory
    // keeps it off the build tree and off any real adapter.
    harness::ScratchDir scratch;
    harness::ErrorBoxes errors;  // no port to open here
    Unit1::TForm1 form;
    EXPECT_EQ(rangeOf(*form.ui()->SpinEdit15), kFrequency);
    EXPECT_EQ(rangeOf(*form.ui()->SpinEdit1), kGain);
}

// Every frequency the editor can show travels as a code of its own and
// comes back as itself: the grid's top still fits the code byte.
TEST(RadioRanges, EveryFrequencyOnTheGridHasItsOwnCode)
{
    int expectedCode = 0;
    for (std::int64_t kHz = protocol::kFrequencyLowestKHz; kHz <= protocol::kFrequencyHighestKHz;
         kHz += protocol::kFrequencyStepKHz, ++expectedCode) {
        EXPECT_EQ(protocol::frequencyCode(kHz), expectedCode) << kHz;
        EXPECT_EQ(protocol::frequencyOfCode(protocol::frequencyCode(kHz)), kHz);
    }
}

}  // namespace
