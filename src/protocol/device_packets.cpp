#include "protocol/device_packets.h"

#include "protocol/body_fields.h"
#include "protocol/frame.h"

namespace protocol {

using namespace body;
namespace cal = calibration_layout;

TelemetryPacket readTelemetry(const RxBuffer& RxBuf)
{
    TelemetryPacket p;
    p.firmware = u8<2>(RxBuf);
    p.packetNumber = u8<3>(RxBuf);
    p.hour = u8<4>(RxBuf);
    p.minute = u8<5>(RxBuf);
    p.second = u8<6>(RxBuf);
    p.quarterMilliseconds = u8<7>(RxBuf);
    p.x = i32<8>(RxBuf);
    p.y = i32<12>(RxBuf);
    p.z = i32<16>(RxBuf);
    p.vx = i16<20>(RxBuf);
    p.vy = i16<22>(RxBuf);
    p.vz = i16<24>(RxBuf);
    p.satellites = u8<26>(RxBuf);
    p.positionAccuracy = u8<27>(RxBuf);
    p.velocityAccuracy = u8<28>(RxBuf);
    p.pdop = u16<29>(RxBuf);
    p.navigationFlags = u8<31>(RxBuf);
    p.temperature = i16<32>(RxBuf);
    p.humidity = u16<34>(RxBuf);
    p.pressure = u16<36>(RxBuf);
    p.temperatureChannel = i32<38>(RxBuf);
    p.humidityChannel = i32<42>(RxBuf);
    p.mcuTemperatureAdc = u16<46>(RxBuf);
    p.batteryAdc = u16<48>(RxBuf);
    return p;
}

CalibrationPacket readCalibration(const RxBuffer& RxBuf)
{
    CalibrationPacket p;
    p.values.a = single<cal::kA>(RxBuf);
    p.values.b = single<cal::kB>(RxBuf);
    p.values.c = single<cal::kC>(RxBuf);
    p.adcT[0] = single<cal::kAdcT>(RxBuf);
    p.adcT[1] = single<cal::kAdcT + 4>(RxBuf);
    p.adcT[2] = single<cal::kAdcT + 8>(RxBuf);
    p.adcH[0] = single<cal::kAdcH>(RxBuf);
    p.adcH[1] = single<cal::kAdcH + 4>(RxBuf);
    p.adcH[2] = single<cal::kAdcH + 8>(RxBuf);
    p.values.number1 = u32<cal::kNumber1>(RxBuf);
    p.values.number2 = u32<cal::kNumber2>(RxBuf);
    p.values.date = u32<cal::kDate>(RxBuf);
    return p;
}

SettingsPacket readSettings(const RxBuffer& RxBuf)
{
    SettingsPacket p;
    p.frequencyCode = u8<2>(RxBuf);
    p.gain = u8<3>(RxBuf);
    p.correction = u16<4>(RxBuf);
    p.biasCode = u8<6>(RxBuf);
    p.navMode = u8<7>(RxBuf);
    return p;
}

StatePacket readState(const RxBuffer& RxBuf) { return {u8<2>(RxBuf)}; }

AckPacket readAck(const RxBuffer& RxBuf) { return {u8<2>(RxBuf)}; }

std::optional<DevicePacket> readDevicePacket(const RxBuffer& RxBuf)
{
    switch (RxBuf[0]) {
    case PT_ACK: return readAck(RxBuf);
    case PT_TELEMETRY: return readTelemetry(RxBuf);
    case PT_CALIBRATION: return readCalibration(RxBuf);
    case PT_SETTINGS: return readSettings(RxBuf);
    case PT_STATE: return readState(RxBuf);
    default: return std::nullopt;
    }
}

}  // namespace protocol
