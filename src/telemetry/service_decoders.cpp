// Service packets: acknowledgement (0x80), calibration (0x82), settings
// (0x83) and state (0x84).

#include <string>

#include "common/formats.h"
#include "protocol/device_packets.h"
#include "protocol/radio_settings.h"
#include "telemetry/field_writes.h"
#include "telemetry/quantities.h"
#include "telemetry/telemetry.h"

namespace telemetry {
namespace {

using namespace quantities;

std::string gainText(std::uint8_t g)
{
    if (const std::optional<long double> dBm = gainDbm(g))
        return formats::fixed(*dBm, 4, 2) + " дБм (" + formats::decimal(g) + ")";
    return "Откл. (0)";
}

std::string correctionText(std::uint16_t v)
{
    if (const std::optional<std::int64_t> hz = correctionHz(v))
        return formats::decimal(*hz) + " Гц (" + formats::decimal(correctionSteps(v)) + ")";
    return "Неизвестно (" + formats::decimal(v) + ")";
}

std::string navModeText(std::uint8_t m)
{
    return std::string(navModeWord(m)) + " (" + formats::decimal(m) + ")";
}

const char* faultText(std::uint8_t faults, int bit) { return flagSet(faults, bit) ? "Нет" : "OK"; }

}  // namespace

void presentAck(const protocol::AckPacket& ack, FormView& form)
{
    const char* text = nullptr;
    switch (ack.code) {
    case 2: text = "Градуировки сохранены "; break;
    case 3: text = "Настройки сохранены "; break;
    case 4: text = "Режим работы передатчика установлен "; break;
    default: return;  // no write of ours answers with another code
    }
    const TimeOfDay now = form.localTime();
    form.setStatusText(text + formats::timeHHMMSS(now.hour, now.minute, now.second));
}

void presentCalibration(const protocol::CalibrationPacket& p, FormView& form)
{
    writeField(form, Field::Label17, formats::fixed(widened(p.values.a), 6, 5));
    writeField(form, Field::Label55, formats::fixed(widened(p.values.b), 6, 2));
    writeField(form, Field::Label56, formats::fixed(widened(p.values.c), 6, 3));
    writeField(form, Field::Label57, formats::exponent(widened(p.adcT[0]), 8, 7));
    writeField(form, Field::Label58, formats::fixed(widened(p.adcT[1]), 8, 7));
    writeField(form, Field::Label59, formats::fixed(widened(p.adcT[2]), 8, 7));
    writeField(form, Field::Label60, formats::exponent(widened(p.adcH[0]), 8, 7));
    writeField(form, Field::Label61, formats::fixed(widened(p.adcH[1]), 8, 7));
    writeField(form, Field::Label62, formats::fixed(widened(p.adcH[2]), 8, 7));
    writeField(form, Field::Label63, formats::decimal(p.values.number1));
    writeField(form, Field::Label64, formats::decimal(p.values.number2));
    writeField(form, Field::Label65, dateText(p.values.date));

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

void presentSettings(const protocol::SettingsPacket& p, FormView& form)
{
    const std::uint8_t f = p.frequencyCode;
    writeField(form, Field::Label66,
               formats::decimal(protocol::frequencyOfCode(f)) + " кГц (" + formats::decimal(f) + ")");
    writeField(form, Field::Label68, gainText(p.gain));
    writeField(form, Field::Label67, correctionText(p.correction));

    const std::uint8_t i = p.biasCode;
    writeField(form, Field::Label69,
               formats::general(biasMilliamps(i)) + " мА (" + formats::decimal(i) + ")");
    writeField(form, Field::Label70, navModeText(p.navMode));

    form.setChecked(Box::CheckBox33, false);
    form.setChecked(Box::CheckBox43, true);
}

void presentState(const protocol::StatePacket& p, FormView& form)
{
    const std::uint8_t flags = p.faults;                    // a set bit is a fault
    writeField(form, Field::Label74, faultText(flags, 0));  // transmitter PLL
    writeField(form, Field::Label75, faultText(flags, 1));  // navigation module link
    writeField(form, Field::Label76, faultText(flags, 7));  // pressure sensor link

    form.setChecked(Box::CheckBox43, false);
    form.setRadioButton1(false);
}

}  // namespace telemetry
