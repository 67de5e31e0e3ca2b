// The calibration editors' key rule and the check before a write, without
// a window.

#include <gtest/gtest.h>

#include <string>

#include "calibration_check.h"
#include "editor_keys.h"

using editors::CalibrationEditor;
using editors::KeyVerdict;

namespace {

struct KeyCase {
    CalibrationEditor editor;
    char16_t typed;
    std::u16string text;  // what the editor holds around the typed character
    KeyVerdict expected;
};

std::string describe(const KeyCase& c)
{
    return "editor " + std::to_string(static_cast<int>(c.editor) + 1) + ", char " +
           std::to_string(static_cast<int>(c.typed)) + ", text of " +
           std::to_string(c.text.size()) + " chars";
}

}  // namespace

TEST(EditorKeys, CharactersOtherThanSeparators)
{
    const KeyCase cases[] = {
        {CalibrationEditor::A, u'0', u"", KeyVerdict::Accept},
        {CalibrationEditor::Date, u'9', u"01.02.0", KeyVerdict::Accept},
        {CalibrationEditor::Number1, u'5', u"", KeyVerdict::Accept},
        {CalibrationEditor::B, editors::kBackspace, u"1,5", KeyVerdict::Accept},
        {CalibrationEditor::C, editors::kEnter, u"", KeyVerdict::MoveFocus},
        {CalibrationEditor::Number2, editors::kEnter, u"7", KeyVerdict::MoveFocus},
        // Refused everywhere: a sign, letters (the exponent "E" too), blanks
        // and the control characters of copy, cut and paste.
        {CalibrationEditor::A, u'-', u"", KeyVerdict::Refuse},
        {CalibrationEditor::Number1, u'-', u"", KeyVerdict::Refuse},
        {CalibrationEditor::A, u'+', u"", KeyVerdict::Refuse},
        {CalibrationEditor::A, u'E', u"1", KeyVerdict::Refuse},
        {CalibrationEditor::Date, u'a', u"", KeyVerdict::Refuse},
        {CalibrationEditor::B, u'\u0416', u"", KeyVerdict::Refuse},
        {CalibrationEditor::C, u' ', u"", KeyVerdict::Refuse},
        {CalibrationEditor::A, u'\x03', u"", KeyVerdict::Refuse},
        {CalibrationEditor::A, u'\x16', u"", KeyVerdict::Refuse},
        {CalibrationEditor::Number2, u'\x18', u"", KeyVerdict::Refuse},
        {CalibrationEditor::Number2, u'\t', u"", KeyVerdict::Refuse},
    };
    for (const KeyCase& c : cases)
        EXPECT_EQ(editors::filterEditorKey(c.editor, c.typed, c.text), c.expected) << describe(c);
}

TEST(EditorKeys, SeparatorRuleLooksAtTheEditorItself)
{
    const KeyCase cases[] = {
        // A coefficient takes one separator; one already there, typed or
        // pasted as ".", closes it.
        {CalibrationEditor::A, u',', u"1", KeyVerdict::AcceptComma},
        {CalibrationEditor::A, u',', u"1,5", KeyVerdict::Refuse},
        {CalibrationEditor::B, u',', u"1.5", KeyVerdict::Refuse},
        {CalibrationEditor::C, u',', u"", KeyVerdict::AcceptComma},
        {CalibrationEditor::C, u',', u"2,", KeyVerdict::Refuse},
        // The numbers never take one.
        {CalibrationEditor::Number1, u',', u"", KeyVerdict::Refuse},
        {CalibrationEditor::Number2, u',', u"12", KeyVerdict::Refuse},
        // The date takes two, and counts the "." the calibration packet
        // writes.
        {CalibrationEditor::Date, u',', u"01", KeyVerdict::AcceptComma},
        {CalibrationEditor::Date, u',', u"01.02", KeyVerdict::AcceptComma},
        {CalibrationEditor::Date, u',', u"01,02,", KeyVerdict::Refuse},
        {CalibrationEditor::Date, u',', u"01.02.03", KeyVerdict::Refuse},
    };
    for (const KeyCase& c : cases) {
        EXPECT_EQ(editors::filterEditorKey(c.editor, c.typed, c.text), c.expected) << describe(c);
        // A "." gets the same verdict as a ",", and goes in as ",".
        EXPECT_EQ(editors::filterEditorKey(c.editor, u'.', c.text), c.expected) << describe(c);
    }
}

namespace {

editors::CalibrationTexts goodTexts()
{
    return {"1,5", "-40", "273,15", "123", "4294967295", "01.02.03"};
}

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
        CalibrationEditor refused;
    };
    const Case cases[] = {
        {0, "", CalibrationEditor::A},
        {0, "1.5", CalibrationEditor::A},  // pasted with a point
        {0, "-", CalibrationEditor::A},     // left by the watchdog
        {1, "1,5,2", CalibrationEditor::B},
        {1, "abc", CalibrationEditor::B},
        {2, "1E39", CalibrationEditor::C},  // beyond single precision
        {2, "-1E39", CalibrationEditor::C},
        // The two numbers and the date: a write would replace what the
        // radiosonde keeps, so they must convert as well.
        {3, "-", CalibrationEditor::Number1},
        {3, "", CalibrationEditor::Number1},
        {3, "-1", CalibrationEditor::Number1},
        {3, "4294967296", CalibrationEditor::Number1},
        {4, "-", CalibrationEditor::Number2},
        {4, "12,5", CalibrationEditor::Number2},
        {5, "-", CalibrationEditor::Date},
        {5, "0", CalibrationEditor::Date},
        {5, "1.2.3", CalibrationEditor::Date},
        {5, "010203", CalibrationEditor::Date},
        {5, "01.02.034", CalibrationEditor::Date},
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
    EXPECT_EQ(afterDrop.refused, CalibrationEditor::A);
}
