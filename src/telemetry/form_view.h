// What the decoders, the geodetic conversion, the request chain and the
// watchdog need of the main window, and nothing more. The window TForm1
// implements it on real widgets; the tests implement it with a recorder.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace telemetry {

// Every display field (value label) that a decoder or the watchdog writes,
// named by its control name.
// clang-format off
#define KALVI7_DISPLAY_FIELDS(X)                                                         \
    X(Label4) X(Label5) X(Label6) X(Label7) X(Label8) X(Label9) X(Label12) X(Label13)    \
    X(Label17) X(Label18) X(Label21) X(Label22) X(Label23) X(Label24) X(Label25)         \
    X(Label26) X(Label40) X(Label44) X(Label47) X(Label48) X(Label49) X(Label50)         \
    X(Label51) X(Label52) X(Label53) X(Label55) X(Label56) X(Label57) X(Label58)         \
    X(Label59) X(Label60) X(Label61) X(Label62) X(Label63) X(Label64) X(Label65)         \
    X(Label66) X(Label67) X(Label68) X(Label69) X(Label70) X(Label74) X(Label75)         \
    X(Label76) X(Label77) X(Label78) X(Label79) X(Label80) X(Label81) X(Label82)         \
    X(Label83) X(Label85) X(Label90) X(Label91) X(Label111) X(Label113) X(Label119)      \
    X(Label127) X(Label128) X(Label131) X(Label132) X(Label134) X(Label136) X(Label138)
// clang-format on

enum class Field : std::uint8_t {
#define KALVI7_ENUM(name) name,
    KALVI7_DISPLAY_FIELDS(KALVI7_ENUM)
#undef KALVI7_ENUM
};
inline constexpr int kFieldCount = 64;

// The control name, e.g. "Label47".
const char* fieldName(Field field);

// The six calibration editors of the operator page, in tab order, each with
// the service-page field whose value it shows while the operator is not
// editing. The one list of them: the decoders, the watchdog, the window and
// the editor rules (namespace editors) all take it from here.
// clang-format off
#define KALVI7_CALIBRATION_EDITORS(X)                                                    \
    X(Edit1, Label17) /* coefficient A */                                               \
    X(Edit2, Label55) /* coefficient B */                                               \
    X(Edit3, Label56) /* coefficient C */                                               \
    X(Edit4, Label63) /* serial number "№ р/з:" */                                      \
    X(Edit5, Label64) /* serial number "№ б/д:" */                                      \
    X(Edit6, Label65) /* calibration date, dd.mm.yy */
// clang-format on

enum class Editor : std::uint8_t {
#define KALVI7_ENUM(name, field) name,
    KALVI7_CALIBRATION_EDITORS(KALVI7_ENUM)
#undef KALVI7_ENUM
};
#define KALVI7_COUNT(name, field) +1
inline constexpr int kEditorCount = 0 KALVI7_CALIBRATION_EDITORS(KALVI7_COUNT);
#undef KALVI7_COUNT

// The control name, e.g. "Edit1".
const char* editorName(Editor editor);

// The field whose value the editor shows while the operator is not editing.
constexpr Field editorSource(Editor editor)
{
    constexpr Field sources[] = {
#define KALVI7_SOURCE(name, field) Field::field,
        KALVI7_CALIBRATION_EDITORS(KALVI7_SOURCE)
#undef KALVI7_SOURCE
    };
    return sources[static_cast<int>(editor)];
}

// The request switches of the service page.
enum class Box : std::uint8_t { CheckBox26, CheckBox32, CheckBox33, CheckBox43, CheckBox54 };
const char* boxName(Box box);

struct TimeOfDay {
    int hour = 0, minute = 0, second = 0;
};

class FormView {
public:
    virtual ~FormView() = default;

    // Display fields hold one line of UTF-8 text.
    virtual void setText(Field field, const std::string& text) = 0;
    virtual std::string text(Field field) const = 0;

    // Calibration editors: text and the read-only flag of Edit1, which tells
    // whether the operator is editing them (read-only: not editing).
    virtual void setEditText(Editor editor, const std::string& text) = 0;
    virtual std::string editText(Editor editor) const = 0;
    virtual bool edit1ReadOnly() const = 0;

    // Request switches. Setting a box to the state it has does nothing;
    // setting it to the other state changes it and, for the four packet
    // boxes (not CheckBox54), runs CheckBox26Click at once, inside the
    // setter, exactly as an operator's click does.
    virtual bool checked(Box box) const = 0;
    virtual void setChecked(Box box, bool on) = 0;

    virtual void setRadioButton1(bool on) = 0;                // link indicator
    virtual void setStatusText(const std::string& text) = 0;  // StatusBar1's one panel

    // One byte to the radiosonde's line (WriteComByte on channel 1).
    virtual void writeComByte(std::uint8_t byte) = 0;

    // Local wall-clock time of the computer (the acknowledgement's stamp).
    virtual TimeOfDay localTime() const = 0;

    // The link watchdog: stop and start Timer3, so its 3000 ms count afresh.
    virtual void restartTimer3() = 0;
};

}  // namespace telemetry
