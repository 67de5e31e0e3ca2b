#include "telemetry/form_view.h"

#include <array>

namespace telemetry {

const char* fieldName(Field field)
{
    static constexpr std::array<const char*, kFieldCount> names{
#define KALVI7_NAME(name) #name,
        KALVI7_DISPLAY_FIELDS(KALVI7_NAME)
#undef KALVI7_NAME
    };
    return names.at(static_cast<std::size_t>(field));
}

const char* editorName(Editor editor)
{
    static constexpr std::array<const char*, kEditorCount> names{
#define KALVI7_NAME(name, field) #name,
        KALVI7_CALIBRATION_EDITORS(KALVI7_NAME)
#undef KALVI7_NAME
    };
    return names.at(static_cast<std::size_t>(editor));
}

const char* boxName(Box box)
{
    static constexpr std::array<const char*, 5> names{"CheckBox26", "CheckBox32", "CheckBox33", "CheckBox43",
                                                      "CheckBox54"};
    return names.at(static_cast<std::size_t>(box));
}

}  // namespace telemetry
