#include "telemetry/quantities.h"

#include "common/formats.h"

namespace telemetry::quantities {

long double scaled(std::int64_t raw, long double divisor) { return static_cast<long double>(raw) / divisor; }

std::optional<long double> temperatureCelsius(const protocol::TelemetryPacket& p)
{
    if (p.temperature <= -15000)
        return std::nullopt;
    return scaled(p.temperature, 100);
}

std::optional<long double> humidityPercent(const protocol::TelemetryPacket& p)
{
    if (p.humidity == 0)
        return std::nullopt;
    return scaled(p.humidity, 100);
}

std::optional<long double> pressureHectopascals(const protocol::TelemetryPacket& p)
{
    if (p.pressure >= 65000)
        return std::nullopt;
    return scaled(p.pressure, 10);
}

long double mcuVolts(std::uint16_t reading) { return static_cast<long double>(reading) * 66 / 40960; }

const char* fixTypeWord(std::uint8_t navigationFlags)
{
    switch (navigationFlags & 0x07u) {
    case 0: return "Нет";
    case 1: return "Расчет траектории";
    case 2: return "2D";
    case 3: return "3D";
    case 4: return "Только время";
    default: return nullptr;
    }
}

bool flagSet(std::uint8_t flags, int bit) { return ((static_cast<unsigned>(flags) >> bit) & 1u) != 0; }

long double widened(float coefficient) { return static_cast<double>(coefficient); }

std::string dateText(std::uint32_t ddmmyy)
{
    // A day below 10 has lost its leading zero, so it is padded back to six
    // digits; digits past the sixth belong to no date and are not shown.
    std::string digits = formats::decimal(ddmmyy);
    if (digits.size() < 6)
        digits.insert(0, 6 - digits.size(), '0');
    return digits.substr(0, 2) + "." + digits.substr(2, 2) + "." + digits.substr(4, 2);
}

std::optional<long double> gainDbm(std::uint8_t gain)
{
    if (gain == 0)
        return std::nullopt;
    return static_cast<long double>((gain - 1) * 29) / 62 - 16;
}

std::optional<std::int64_t> correctionHz(std::uint16_t correction)
{
    if (correction > 2047)
        return std::nullopt;
    return 250 * correctionSteps(correction);
}

std::int64_t correctionSteps(std::uint16_t correction)
{
    return correction <= 1023 ? std::int64_t{correction} : std::int64_t{correction} - 2048;
}

long double biasMilliamps(std::uint8_t biasCode) { return 0.5L * biasCode + 0.5L; }

const char* navModeWord(std::uint8_t navMode)
{
    switch (navMode) {
    case 0: return "ГЛОНАСС+GPS";
    case 1: return "ГЛОНАСС";
    case 2: return "GPS";
    default: return "Неизвестный";
    }
}

}  // namespace telemetry::quantities
