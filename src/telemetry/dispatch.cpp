#include <variant>

#include "protocol/device_packets.h"
#include "telemetry/telemetry.h"

namespace telemetry {

void dispatchFrame(const protocol::RxBuffer& RxBuf, FormView& form)
{
    if (const std::optional<protocol::DevicePacket> packet = protocol::readDevicePacket(RxBuf))
        presentPacket(*packet, form);
}

void presentPacket(const protocol::DevicePacket& packet, FormView& form)
{
    std::visit(
        [&form](const auto& p) {
            using P = std::decay_t<decltype(p)>;
            if constexpr (std::is_same_v<P, protocol::AckPacket>)
                presentAck(p, form);
            else if constexpr (std::is_same_v<P, protocol::TelemetryPacket>)
                presentTelemetry(p, form);
            else if constexpr (std::is_same_v<P, protocol::CalibrationPacket>)
                presentCalibration(p, form);
            else if constexpr (std::is_same_v<P, protocol::SettingsPacket>)
                presentSettings(p, form);
            else
                presentState(p, form);
        },
        packet);
}

void decodeAck(const protocol::RxBuffer& RxBuf, FormView& form)
{
    presentAck(protocol::readAck(RxBuf), form);
}
void decodeTelemetry(const protocol::RxBuffer& RxBuf, FormView& form)
{
    presentTelemetry(protocol::readTelemetry(RxBuf), form);
}
void decodeCalibration(const protocol::RxBuffer& RxBuf, FormView& form)
{
    presentCalibration(protocol::readCalibration(RxBuf), form);
}
void decodeSettings(const protocol::RxBuffer& RxBuf, FormView& form)
{
    presentSettings(protocol::readSettings(RxBuf), form);
}
void decodeState(const protocol::RxBuffer& RxBuf, FormView& form)
{
    presentState(protocol::readState(RxBuf), form);
}

}  // namespace telemetry
