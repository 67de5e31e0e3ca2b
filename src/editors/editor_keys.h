// What a character typed into one of the six calibration editors does.
// Kept free of the toolkit so that the rule can be read and tested on its
// own; TForm1::Edit1KeyPress maps key events onto it.
#pragma once

#include <string_view>

#include "telemetry/form_view.h"

namespace editors {

// Edit1..Edit6, from the one list of the calibration editors: the three
// coefficients A, B, C, the two serial numbers and the date.
using telemetry::Editor;

enum class KeyVerdict {
    Accept,       // the character goes into the editor as typed
    AcceptComma,  // a separator: goes into the editor as ","
    MoveFocus,    // Enter: the focus moves to the next control in tab order
    Refuse,       // the character never reaches the editor
};

inline constexpr char16_t kBackspace = 8;
inline constexpr char16_t kEnter = 13;

// How many separators an editor may hold: one in a coefficient, two in the
// date (between its three groups), none in the two numbers.
int separatorLimit(Editor editor);

// Both "," and "." count: the calibration packet writes the date with ".".
int separatorCount(std::u16string_view text);

// The verdict on one typed character. remainingText is what the editor
// will still hold around the character once it replaces the selection (the
// whole text when nothing is selected); only separators look at it.
KeyVerdict filterEditorKey(Editor editor, char16_t typed, std::u16string_view remainingText);

}  // namespace editors
