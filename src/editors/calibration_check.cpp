#include "calibration_check.h"

#include "editor_texts.h"
#include "formats.h"

namespace editors {
namespace {

CalibrationCheck refusal(CalibrationEditor editor)
{
    CalibrationCheck check;
    check.refused = editor;
    return check;
}

}  // namespace

bool isFloatText(std::string_view text)
{
    return formats::parseDecimal(text).has_value();
}

std::string refusalText(CalibrationEditor editor, std::string_view caption)
{
    switch (editor) {
    case CalibrationEditor::A:
    case CalibrationEditor::B:
    case CalibrationEditor::C:
        return "Ошибка при вводе коэффициентов";
    case CalibrationEditor::Number1:
    case CalibrationEditor::Number2:
    case CalibrationEditor::Date:
        break;
    }
    const std::size_t end = caption.find_last_not_of(" :");
    caption = caption.substr(0, end == std::string_view::npos ? 0 : end + 1);
    return "Ошибка при вводе поля «" + std::string(caption) + "»";
}

CalibrationCheck checkCalibrationTexts(const CalibrationTexts& texts)
{
    protocol::CalibrationValues values;

    float* const coefficients[] = {&values.a, &values.b, &values.c};
    const CalibrationEditor coefficientEditors[] = {CalibrationEditor::A, CalibrationEditor::B,
                                                    CalibrationEditor::C};
    for (std::size_t i = 0; i < 3; ++i) {
        if (!isFloatText(texts[i]))
            return refusal(coefficientEditors[i]);
        const protocol::CoefficientResult coefficient = protocol::parseCoefficient(texts[i]);
        if (!coefficient.ok())
            return refusal(coefficientEditors[i]);
        *coefficients[i] = coefficient.value;
    }

    const auto number1 = protocol::parseSerialNumber(texts[3]);
    if (!number1)
        return refusal(CalibrationEditor::Number1);
    const auto number2 = protocol::parseSerialNumber(texts[4]);
    if (!number2)
        return refusal(CalibrationEditor::Number2);
    values.number1 = *number1;
    values.number2 = *number2;

    const std::string_view date = texts[5];
    const auto dateNumber =
        protocol::isStrictDateText(date) ? protocol::parseDateText(date) : std::nullopt;
    if (!dateNumber)
        return refusal(CalibrationEditor::Date);
    values.date = *dateNumber;

    CalibrationCheck check;
    check.values = values;
    return check;
}

}  // namespace editors
