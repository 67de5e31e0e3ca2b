// The calibration editors' key rule and the check before a write, without
// a window.

#include <gtest/gtest.h>

#include <string>

#include "editors/calibration_check.h"
#include "editors/editor_keys.h"

using editors::Editor;
using editors::KeyVerdict;

namespace {

struct KeyCase {
    Editor editor;
    char16_t typed;
    std::u16string text;  // what the editor holds around the typed character
    KeyVerdict expected;
};

std::string describe(const KeyCase& c)
{
    return "editor " + std::to_string(static_cast<int>(c.editor) + 1) + ", char " +
           std::to_string(static_cast<int>(c.typed)) + ", text of " + std::to_string(c.text.size()) +
           " chars";
}

}  // namespace

TEST(EditorKeys, CharactersOtherThanSeparators)
{
    const KeyCase cases[] = {
        {Editor::Edit1, u'0', u"", KeyVerdict::Accept},
        {Editor::Edit6, u'9', u"01.02.0", KeyVerdict::Accept},
        {Editor::Edit4, u'5', u"", KeyVerdict::Accept},
        {Editor::Edit2, editors::kBackspace, u"1,5", KeyVerdict::Accept},
        {Editor::Edit3, editors::kEnter, u"", KeyVerdict::MoveFocus},
        {Editor::Edit5, editors::kEnter, u"7", KeyVerdict::MoveFocus},
        // Refused everywhere: a sign, letters (the exponent "E" too), blanks
        // and the control characters of copy, cut and paste.
        {Editor::Edit1, u'-', u"", KeyVerdict::Refuse},
        {Editor::Edit4, u'-', u"", KeyVerdict::Refuse},
        {Editor::Edit1, u'+', u"", KeyVerdict::Refuse},
        {Editor::Edit1, u'E', u"1", KeyVerdict::Refuse},
        {Editor::Edit6, u'a', u"", KeyVerdict::Refuse},
        {Editor::Edit2, u'\u0416', u"", KeyVerdict::Refuse},
        {Editor::Edit3, u' ', u"", KeyVerdict::Refuse},
        {Editor::Edit1, u'\x03', u"", KeyVerdict::Refuse},
        {Editor::Edit1, u'\x16', u"", KeyVerdict::Refuse},
        {Editor::Edit5, u'\x18', u"", KeyVerdict::Refuse},
        {Editor::Edit5, u'\t', u"", KeyVerdict::Refuse},
    };
    for (const KeyCase& c : cases)
        EXPECT_EQ(editors::filterEditorKey(c.editor, c.typed, c.text), c.expected) << describe(c);
}

TEST(EditorKeys, SeparatorRuleLooksAtTheEditorItself)
{
    const KeyCase cases[] = {
        // A coefficient takes one separator; one already there, typed or
        // pasted as ".", closes it.
        {Editor::Edit1, u',', u"1", KeyVerdict::AcceptComma},
        {Editor::Edit1, u',', u"1,5", KeyVerdict::Refuse},
        {Editor::Edit2, u',', u"1.5", KeyVerdict::Refuse},
        {Editor::Edit3, u',', u"", KeyVerdict::AcceptComma},
        {Editor::Edit3, u',', u"2,", KeyVerdict::Refuse},
        // The numbers never take one.
        {Editor::Edit4, u',', u"", KeyVerdict::Refuse},
        {Editor::Edit5, u',', u"12", KeyVerdict::Refuse},
        // The date takes two, and counts the "." the calibration packet
        // writes.
        {Editor::Edit6, u',', u"01", KeyVerdict::AcceptComma},
        {Editor::Edit6, u',', u"01.02", KeyVerdict::AcceptComma},
        {Editor::Edit6, u',', u"01,02,", KeyVerdict::Refuse},
        {Editor::Edit6, u',', u"01.02.03", KeyVerdict::Refuse},
    };
    for (const KeyCase& c : cases) {
        EXPECT_EQ(editors::filterEditorKey(c.editor, c.typed, c.text), c.expected) << describe(c);
        // A "." gets the same verdict as a ",", and goes in as ",".
        EXPECT_EQ(editors::filterEditorKey(c.editor, u'.', c.text), c.expected) << describe(c);
    }
}

namespace {

editors::CalibrationTexts goodTexts() { return {"1,5", "-40", "273,15", "123", "4294967295", "01.02.03"}; }

}  // namespace

TEST(CalibrationCheck, ConvertsTheSixTexts)
{
    const editors::CalibrationCheck check = editors::checkCalibrationTexts(goodTexts());
    ASSERT_TRUE(check.ok());
    EXPECT_EQ(check.values->a, 1.5f);
    EXPECT_EQ(check.values->b, -40.0f);
    EXPECT_EQ(check.values->c, 273.15f);
    EXPECT_EQ(check.values->number1, 123u);
    EXPECT_EQ(check.values->number2, 4294967295u);
    EXPECT_EQ(check.values->date, 10203u);
}

TEST(CalibrationCheck, DateWithTypedCommasAndLargestSingle)
{
    editors::CalibrationTexts texts = goodTexts();
    texts[0] = "3,4E38";
    texts[5] = "31,12,99";
    const editors::CalibrationCheck check = editors::checkCalibrationTexts(texts);
    ASSERT_TRUE(check.ok());
    EXPECT_EQ(check.values->a, 3.4e38f);
    EXPECT_EQ(check.values->date, 311299u);
}

TEST(CalibrationCheck, RefusesTheFirstEditorThatDoesNotConvert)
{
    struct Case {
        std::size_t index;
        std::string text;
        Editor refused;
    };
    const Case cases[] = {
        {0, "", Editor::Edit1},
        {0, "1.5", Editor::Edit1},  // pasted with a point
        {0, "-", Editor::Edit1},    // left by the watchdog
        {1, "1,5,2", Editor::Edit2},
        {1, "abc", Editor::Edit2},
        {2, "1E39", Editor::Edit3},  // beyond single precision
        {2, "-1E39", Editor::Edit3},
        // The two numbers and the date: a write would replace what the
        // radiosonde keeps, so they must convert as well.
        {3, "-", Editor::Edit4},
        {3, "", Editor::Edit4},
        {3, "-1", Editor::Edit4},
        {3, "4294967296", Editor::Edit4},
        {4, "-", Editor::Edit5},
        {4, "12,5", Editor::Edit5},
        {5, "-", Editor::Edit6},
        {5, "0", Editor::Edit6},
        {5, "1.2.3", Editor::Edit6},
        {5, "010203", Editor::Edit6},
        {5, "01.02.034", Editor::Edit6},
    };
    for (const Case& c : cases) {
        editors::CalibrationTexts texts = goodTexts();
        texts[c.index] = c.text;
        const editors::CalibrationCheck check = editors::checkCalibrationTexts(texts);
        EXPECT_FALSE(check.ok()) << "editor " << c.index + 1 << " \"" << c.text << "\"";
        EXPECT_EQ(check.refused, c.refused) << "editor " << c.index + 1 << " \"" << c.text << "\"";
    }

    // With several bad texts the check stops at the first in tab order.
    const editors::CalibrationCheck afterDrop =
        editors::checkCalibrationTexts({"-", "-", "-", "-", "-", "-"});
    EXPECT_FALSE(afterDrop.ok());
    EXPECT_EQ(afterDrop.refused, Editor::Edit1);
}
