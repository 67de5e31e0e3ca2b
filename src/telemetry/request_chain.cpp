// The request chain (the five request switches are its whole state) and
// the link watchdog Timer3.

#include "protocol/frame.h"
#include "protocol/host_frames.h"
#include "telemetry/telemetry.h"

namespace telemetry {

const Field kWatchdogFields[kFieldCount] = {
    Field::Label52,  Field::Label47,  Field::Label48,  Field::Label50,  Field::Label51,  Field::Label53,
    Field::Label4,   Field::Label49,  Field::Label6,   Field::Label7,   Field::Label8,   Field::Label9,
    Field::Label12,  Field::Label13,  Field::Label18,  Field::Label21,  Field::Label22,  Field::Label23,
    Field::Label24,  Field::Label25,  Field::Label26,  Field::Label44,  Field::Label40,  Field::Label5,
    Field::Label77,  Field::Label78,  Field::Label79,  Field::Label80,  Field::Label81,  Field::Label82,
    Field::Label83,  Field::Label85,  Field::Label17,  Field::Label55,  Field::Label56,  Field::Label63,
    Field::Label64,  Field::Label65,  Field::Label57,  Field::Label58,  Field::Label59,  Field::Label60,
    Field::Label61,  Field::Label62,  Field::Label66,  Field::Label67,  Field::Label68,  Field::Label69,
    Field::Label70,  Field::Label74,  Field::Label75,  Field::Label76,  Field::Label90,  Field::Label91,
    Field::Label111, Field::Label134, Field::Label136, Field::Label138, Field::Label119, Field::Label127,
    Field::Label128, Field::Label131, Field::Label132, Field::Label113,
};

std::uint8_t requestMask(const FormView& form)
{
    std::uint8_t mask = 0;
    if (form.checked(Box::CheckBox26))
        mask |= protocol::RQ_TELEMETRY;
    if (form.checked(Box::CheckBox32))
        mask |= protocol::RQ_CALIBRATION;
    if (form.checked(Box::CheckBox33))
        mask |= protocol::RQ_SETTINGS;
    if (form.checked(Box::CheckBox43))
        mask |= protocol::RQ_STATE;
    if (form.checked(Box::CheckBox54))
        mask |= protocol::RQ_CYCLIC;
    return mask;
}

void CheckBox26Click(FormView& form)
{
    for (const std::uint8_t byte : protocol::buildRequest(requestMask(form)))
        form.writeComByte(byte);
}

void Timer3Timer(FormView& form)
{
    // Every field by itself, the operator-page copies in their own place in
    // the list, so no write here goes through writeField.
    for (const Field field : kWatchdogFields)
        form.setText(field, "-");
    // While the operator types new coefficients the editors are theirs.
    if (form.edit1ReadOnly()) {
        for (int i = 0; i < kEditorCount; ++i)
            form.setEditText(static_cast<Editor>(i), "-");
    }

    // Checking the box sends a request if it was clear; the direct call
    // sends one in any case, so a silent link is asked again every expiry.
    form.setChecked(Box::CheckBox26, true);
    CheckBox26Click(form);
    form.restartTimer3();
}

}  // namespace telemetry
