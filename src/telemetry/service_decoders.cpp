// Service packets: acknowledgement (0x80), calibration (0x82), settings
// (0x83) and state (0x84).

#include <string>

#include "common/formats.h"
#include "telemetry/body_fields.h"
#include "telemetry/field_writes.h"
#include "telemetry/telemetry.h"

namespace telemetry {
namespace {

// Widened to double first, as the coefficients are shown everywhere else;
// a signalling NaN quietly becomes a quiet one with its sign kept.
long double widened(float coefficient) { return static_cast<double>(coefficient); }

// ddmmyy stored as one decimal number: a day below 10 has lost its leading
// zero, so it is padded back to six digits; digits past the sixth belong to
// no date and are not shown.
std::string dateText(std::uint32_t ddmmyy)
{
    std::string digits = formats::decimal(ddmmyy);
    if (digits.size() < 6)
        digits.insert(0, 6 - digits.size(), '0');
    return digits.substr(0, 2) + "." + digits.substr(2, 2) + "." + digits.substr(4, 2);
}

std::string gainText(std::uint8_t g)
{
    if (g == 0)
        return "Откл. (0)";
    const long double dBm = static_cast<long double>((g - 1) * 29) / 62 - 16;
    return formats::fixed(dBm, 4, 2) + " дБм (" + formats::decimal(g) + ")";
}

// An 11-bit two's-complement count of 250 Hz steps.
std::string correctionText(std::uint16_t v)
{
    if (v <= 1023)
        return formats::decimal(250 * v) + " Гц (" + formats::decimal(v) + ")";
    if (v <= 2047)
        return formats::decimal(250 * (v - 2048)) + " Гц (-" + formats::decimal(2048 - v) + ")";
    return "Неизвестно (" + formats::decimal(v) + ")";  // outside the 11-bit field
}

std::string navModeText(std::uint8_t m)
{
    const char* prefix = m == 0 ? "ГЛОНАСС+GPS (" : m == 1 ? "ГЛОНАСС (" : m == 2 ? "GPS (" : "Неизвестный (";
    return prefix + formats::decimal(m) + ")";
}

const char* faultText(std::uint8_t flags, int bit)
{
    return ((static_cast<unsigned>(flags) >> bit) & 1u) != 0 ? "Нет" : "OK";
}

}  // namespace

void decodeAck(const protocol::RxBuffer& RxBuf, FormView& form)
{
    const char* text = nullptr;
    switch (body::u8<2>(RxBuf)) {
    case 2: text = "Градуировки сохранены "; break;
    case 3: text = "Настройки сохранены "; break;
    case 4: text = "Режим работы передатчика установлен "; break;
    default: return;  // no write of ours answers with another code
    }
    const TimeOfDay now = form.localTime();
    form.setStatusText(text + formats::timeHHMMSS(now.hour, now.minute, now.second));
}

void decodeCalibration(const protocol::RxBuffer& RxBuf, FormView& form)
{
    writeField(form, Field::Label17, formats::fixed(widened(body::single<2>(RxBuf)), 6, 5));
    writeField(form, Field::Label55, formats::fixed(widened(body::single<6>(RxBuf)), 6, 2));
    writeField(form, Field::Label56, formats::fixed(widened(body::single<10>(RxBuf)), 6, 3));
    writeField(form, Field::Label57, formats::exponent(widened(body::single<14>(RxBuf)), 8, 7));
    writeField(form, Field::Label58, formats::fixed(widened(body::single<18>(RxBuf)), 8, 7));
    writeField(form, Field::Label59, formats::fixed(widened(body::single<22>(RxBuf)), 8, 7));
    writeField(form, Field::Label60, formats::exponent(widened(body::single<26>(RxBuf)), 8, 7));
    writeField(form, Field::Label61, formats::fixed(widened(body::single<30>(RxBuf)), 8, 7));
    writeField(form, Field::Label62, formats::fixed(widened(body::single<34>(RxBuf)), 8, 7));
    writeField(form, Field::Label63, formats::decimal(body::u32<38>(RxBuf)));
    writeField(form, Field::Label64, formats::decimal(body::u32<42>(RxBuf)));
    writeField(form, Field::Label65, dateText(body::u32<46>(RxBuf)));

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

void decodeSettings(const protocol::RxBuffer& RxBuf, FormView& form)
{
    const std::uint8_t f = body::u8<2>(RxBuf);
    writeField(form, Field::Label66,
               formats::decimal(400000 + 50 * f) + " кГц (" + formats::decimal(f) + ")");
    writeField(form, Field::Label68, gainText(body::u8<3>(RxBuf)));
    writeField(form, Field::Label67, correctionText(body::u16<4>(RxBuf)));

    const std::uint8_t i = body::u8<6>(RxBuf);
    writeField(form, Field::Label69, formats::general(0.5L * i + 0.5L) + " мА (" + formats::decimal(i) + ")");
    writeField(form, Field::Label70, navModeText(body::u8<7>(RxBuf)));

    form.setChecked(Box::CheckBox33, false);
    form.setChecked(Box::CheckBox43, true);
}

void decodeState(const protocol::RxBuffer& RxBuf, FormView& form)
{
    const std::uint8_t flags = body::u8<2>(RxBuf);          // a set bit is a fault
    writeField(form, Field::Label74, faultText(flags, 0));  // transmitter PLL
    writeField(form, Field::Label75, faultText(flags, 1));  // navigation module link
    writeField(form, Field::Label76, faultText(flags, 7));  // pressure sensor link

    form.setChecked(Box::CheckBox43, false);
    form.setRadioButton1(false);
}

}  // namespace telemetry
