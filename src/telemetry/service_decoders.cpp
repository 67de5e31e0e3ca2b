// Service packets: acknowledgement (0x80), calibration (0x82), settings
// (0x83) and state (0x84), as the service page and the status bar show
// them.

#include <string>

#include "common/formats.h"
#include "protocol/device_packets.h"
#include "protocol/radio_settings.h"
#include "telemetry/presentation.h"
#include "telemetry/quantities.h"
#include "telemetry/shown_fields.h"
#include "telemetry/telemetry.h"

namespace telemetry {
namespace {

using namespace quantities;
using namespace shown;

// A number with its code after it: "403000 кГц (60)".
Shown withCode(Field field, const std::string& number, const char* unit, const std::string& code)
{
    return numberIn(field, number + unit + " (" + code + ")", number);
}

Shown gain(std::uint8_t g)
{
    if (const std::optional<long double> dBm = gainDbm(g))
        return withCode(Field::Label68, formats::fixed(*dBm, 4, 2), " дБм", formats::decimal(g));
    return none(Field::Label68, "Откл. (0)");
}

Shown correction(std::uint16_t v)
{
    if (const std::optional<std::int64_t> hz = correctionHz(v))
        return withCode(Field::Label67, formats::decimal(*hz), " Гц", formats::decimal(correctionSteps(v)));
    return none(Field::Label67, "Неизвестно (" + formats::decimal(v) + ")");  // outside the 11-bit field
}

Shown navMode(std::uint8_t m)
{
    Shown shown = word(Field::Label70, navModeWord(m));
    shown.text += " (" + formats::decimal(m) + ")";
    return shown;
}

// A set fault bit shows "Нет"; the value tells whether the part is healthy.
Shown health(Field field, std::uint8_t faults, int bit)
{
    const bool healthy = !flagSet(faults, bit);
    return flag(field, healthy ? "OK" : "Нет", healthy);
}

}  // namespace

const char* ackWords(std::uint8_t code)
{
    switch (code) {
    case 2: return "Градуировки сохранены ";
    case 3: return "Настройки сохранены ";
    case 4: return "Режим работы передатчика установлен ";
    default: return nullptr;  // no write of ours answers with another code
    }
}

Presentation describeAck(const protocol::AckPacket& p, const TimeOfDay& now)
{
    Presentation shown;
    if (const char* words = ackWords(p.code))
        shown.status = words + formats::timeHHMMSS(now.hour, now.minute, now.second);
    return shown;
}

void presentAck(const protocol::AckPacket& ack, FormView& form)
{
    if (ackWords(ack.code))
        form.setStatusText(*describeAck(ack, form.localTime()).status);
}

Presentation describeCalibration(const protocol::CalibrationPacket& p)
{
    Presentation shown;
    auto& f = shown.fields;
    f.push_back(number(Field::Label17, formats::fixed(widened(p.values.a), 6, 5)));
    f.push_back(number(Field::Label55, formats::fixed(widened(p.values.b), 6, 2)));
    f.push_back(number(Field::Label56, formats::fixed(widened(p.values.c), 6, 3)));
    f.push_back(number(Field::Label57, formats::exponent(widened(p.adcT[0]), 8, 7)));
    f.push_back(number(Field::Label58, formats::fixed(widened(p.adcT[1]), 8, 7)));
    f.push_back(number(Field::Label59, formats::fixed(widened(p.adcT[2]), 8, 7)));
    f.push_back(number(Field::Label60, formats::exponent(widened(p.adcH[0]), 8, 7)));
    f.push_back(number(Field::Label61, formats::fixed(widened(p.adcH[1]), 8, 7)));
    f.push_back(number(Field::Label62, formats::fixed(widened(p.adcH[2]), 8, 7)));
    f.push_back(integer(Field::Label63, p.values.number1));
    f.push_back(integer(Field::Label64, p.values.number2));
    f.push_back(word(Field::Label65, dateText(p.values.date)));
    return shown;
}

void presentCalibration(const protocol::CalibrationPacket& p, FormView& form)
{
    show(describeCalibration(p), form);

    // The editors show the radiosonde's values only while the operator is
    // not typing new ones into them.
    // Like the operator-page copies, they take the text read back from
    // their field, but only after every field is written.
    if (form.edit1ReadOnly()) {
        for (int i = 0; i < kEditorCount; ++i) {
            const auto editor = static_cast<Editor>(i);
            form.setEditText(editor, form.text(editorSource(editor)));
        }
    }

    form.setChecked(Box::CheckBox32, false);
    form.setChecked(Box::CheckBox33, true);
}

Presentation describeSettings(const protocol::SettingsPacket& p)
{
    Presentation shown;
    const std::uint8_t f = p.frequencyCode;
    shown.fields.push_back(withCode(Field::Label66, formats::decimal(protocol::frequencyOfCode(f)), " кГц",
                                    formats::decimal(f)));
    shown.fields.push_back(gain(p.gain));
    shown.fields.push_back(correction(p.correction));
    const std::uint8_t i = p.biasCode;
    shown.fields.push_back(
        withCode(Field::Label69, formats::general(biasMilliamps(i)), " мА", formats::decimal(i)));
    shown.fields.push_back(navMode(p.navMode));

    shown.extras = {{"frequency_code", formats::decimal(f)},
                    {"gain_code", formats::decimal(p.gain)},
                    {"frequency_correction_code", formats::decimal(p.correction)},
                    {"vco_bias_code", formats::decimal(i)},
                    {"nav_mode_code", formats::decimal(p.navMode)}};
    return shown;
}

void presentSettings(const protocol::SettingsPacket& p, FormView& form)
{
    show(describeSettings(p), form);
    form.setChecked(Box::CheckBox33, false);
    form.setChecked(Box::CheckBox43, true);
}

Presentation describeState(const protocol::StatePacket& p)
{
    Presentation shown;
    shown.fields.push_back(health(Field::Label74, p.faults, 0));  // transmitter PLL
    shown.fields.push_back(health(Field::Label75, p.faults, 1));  // navigation module link
    shown.fields.push_back(health(Field::Label76, p.faults, 7));  // pressure sensor link
    return shown;
}

void presentState(const protocol::StatePacket& p, FormView& form)
{
    show(describeState(p), form);
    form.setChecked(Box::CheckBox43, false);
    form.setRadioButton1(false);
}

}  // namespace telemetry
