#include "editors/calibration_check.h"

#include "common/formats.h"
#include "editors/editor_texts.h"

namespace editors {
namespace {

CalibrationCheck refusal(Editor editor)
{
    CalibrationCheck check;
    check.refused = editor;
    return check;
}

}  // namespace

bool isFloatText(std::string_view text) { return formats::parseDecimal(text).has_value(); }

std::string refusalText(Editor editor, std::string_view caption)
{
    switch (editor) {
    case Editor::Edit1:  // coefficients A, B, C
    case Editor::Edit2:
    case Editor::Edit3: return "Ошибка при вводе коэффициентов";
    case Editor::Edit4:  // serial numbers, date
    case Editor::Edit5:
    case Editor::Edit6: break;
    }
    const std::size_t end = caption.find_last_not_of(" :");
    caption = caption.substr(0, end == std::string_view::npos ? 0 : end + 1);
    return "Ошибка при вводе поля «" + std::string(caption) + "»";
}

CalibrationCheck checkCalibrationTexts(const CalibrationTexts& texts)
{
    protocol::CalibrationValues values;

    float* const coefficients[] = {&values.a, &values.b, &values.c};
    const Editor coefficientEditors[] = {Editor::Edit1, Editor::Edit2, Editor::Edit3};
    for (std::size_t i = 0; i < 3; ++i) {
        if (!isFloatText(texts[i]))
            return refusal(coefficientEditors[i]);
        const editors::CoefficientResult coefficient = editors::parseCoefficient(texts[i]);
        if (!coefficient.ok())
            return refusal(coefficientEditors[i]);
        *coefficients[i] = coefficient.value;
    }

    const auto number1 = editors::parseSerialNumber(texts[3]);
    if (!number1)
        return refusal(Editor::Edit4);  // "№ р/з:"
    const auto number2 = editors::parseSerialNumber(texts[4]);
    if (!number2)
        return refusal(Editor::Edit5);  // "№ б/д:"
    values.number1 = *number1;
    values.number2 = *number2;

    const std::string_view date = texts[5];
    const auto dateNumber = editors::isStrictDateText(date) ? editors::parseDateText(date) : std::nullopt;
    if (!dateNumber)
        return refusal(Editor::Edit6);
    values.date = *dateNumber;

    CalibrationCheck check;
    check.values = values;
    return check;
}

}  // namespace editors
