// The check made before a calibration write, and the conversion of the six
// editor texts into the values of the write, kept free of the toolkit.
//
// A write replaces everything the radiosonde keeps in its calibration
// record, so every field must be something the operator meant: besides the
// three coefficients, the two numbers and the date are refused when they do
// not convert. After a link drop the editors hold "-", and a write that
// turned those into zeros would wipe the serial numbers and the date.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "editors/editor_keys.h"
#include "protocol/host_frames.h"

namespace editors {

// A decimal number with "," as separator, as the whole window reads them.
bool isFloatText(std::string_view text);

// Texts of Edit1..Edit6 in order, UTF-8.
using CalibrationTexts = std::array<std::string, telemetry::kEditorCount>;

struct CalibrationCheck {
    std::optional<protocol::CalibrationValues> values;  // set when all six pass
    Editor refused = Editor::Edit1;                     // the first that failed
    bool ok() const { return values.has_value(); }
};

// The text of the box that refuses a write. A coefficient keeps the one
// text for all three, "Ошибка при вводе коэффициентов"; the numbers and the
// date are named by their caption on the form, its colon left off:
// "№ р/з:" gives "Ошибка при вводе поля «№ р/з»".
std::string refusalText(Editor editor, std::string_view caption);

// Checks the editors in tab order: A, B, C (a number, within single
// precision), the two numbers (0 to 4294967295), the date (dd.mm.yy with any
// separator characters); stops at the first that fails.
CalibrationCheck checkCalibrationTexts(const CalibrationTexts& texts);

}  // namespace editors
