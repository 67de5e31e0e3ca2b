#include "sim/model/telemetry_packet.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <type_traits>

#include "protocol/frame.h"

namespace sim {
namespace {

template <typename T>
T clampTo(double value)
{
    const double lo = static_cast<double>(std::numeric_limits<T>::min());
    const double hi = static_cast<double>(std::numeric_limits<T>::max());
    return static_cast<T>(std::clamp(std::round(value), lo, hi));
}

// Little-endian, rounded and clamped to T.
template <typename T>
void put(TelemetryBody& body, std::size_t offset, double value)
{
    using U = std::make_unsigned_t<T>;
    const auto bits = static_cast<U>(clampTo<T>(value));
    for (std::size_t i = 0; i < sizeof(T); ++i)
        body[offset + i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

}  // namespace

TelemetryBody packTelemetry(const TelemetryReadings& r)
{
    TelemetryBody body{};
    body[0] = protocol::PT_TELEMETRY;
    body[1] = kTelemetryBodySize;
    body[2] = r.firmware;
    body[3] = r.packetNumber;
    body[4] = static_cast<std::uint8_t>(r.hour);
    body[5] = static_cast<std::uint8_t>(r.minute);
    body[6] = static_cast<std::uint8_t>(r.second);
    body[7] = static_cast<std::uint8_t>(r.millisecond / 4);
    // Hundredths of a metre, and of a metre a second.
    put<std::int32_t>(body, 8, r.position.x * 100);
    put<std::int32_t>(body, 12, r.position.y * 100);
    put<std::int32_t>(body, 16, r.position.z * 100);
    put<std::int16_t>(body, 20, r.velocity.x * 100);
    put<std::int16_t>(body, 22, r.velocity.y * 100);
    put<std::int16_t>(body, 24, r.velocity.z * 100);
    put<std::uint8_t>(body, 26, r.satellites);
    put<std::uint8_t>(body, 27, r.positionAccuracy * 10);
    put<std::uint8_t>(body, 28, r.velocityAccuracy * 10);
    put<std::uint16_t>(body, 29, r.pdop * 100);
    body[31] = r.navigationFlags;
    put<std::int16_t>(body, 32, r.temperature * 100);
    put<std::uint16_t>(body, 34, r.humidity * 100);
    put<std::uint16_t>(body, 36, r.pressure * 10);
    put<std::int32_t>(body, 38, r.temperatureChannel * 100);
    put<std::int32_t>(body, 42, r.humidityChannel * 100);
    put<std::uint16_t>(body, 46, r.mcuTemperatureAdc);
    put<std::uint16_t>(body, 48, r.batteryAdc);
    return body;
}

}  // namespace sim
