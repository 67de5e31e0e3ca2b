// The five packets the radiosonde sends, each read from RxBuf into a typed
// value in one place (device_packets.cpp), by the one reader of its layout.
// The window's decoders present these values as texts and kalvi7-ctl as
// texts and numbers; neither reads a body offset itself.
//
// Values are kept as the radiosonde sent them (raw counts, codes, flag
// bytes, singles): what they mean on a screen is the presenters' business.
#pragma once

#include <cstdint>
#include <optional>
#include <variant>

#include "protocol/receiver.h"

namespace protocol {

struct TelemetryPacket {  // 0x81
    std::uint8_t firmware = 0;
    std::uint8_t packetNumber = 0;
    // Navigation time of day; the milliseconds travel in units of 4 ms.
    std::uint8_t hour = 0, minute = 0, second = 0, quarterMilliseconds = 0;
    std::int32_t x = 0, y = 0, z = 0;     // Earth-centred, cm
    std::int16_t vx = 0, vy = 0, vz = 0;  // cm/s
    std::uint8_t satellites = 0;
    std::uint8_t positionAccuracy = 0;  // dm
    std::uint8_t velocityAccuracy = 0;  // dm/s
    std::uint16_t pdop = 0;             // hundredths
    // Bits 0-2 the fix type; bit 5 GPS time, 6 week number, 7 UTC time valid.
    std::uint8_t navigationFlags = 0;
    std::int16_t temperature = 0;         // hundredths of °C; -15000 and below: no sensor
    std::uint16_t humidity = 0;           // hundredths of %; 0: no sensor
    std::uint16_t pressure = 0;           // tenths of hPa; 65000 and above: no sensor
    std::int32_t temperatureChannel = 0;  // ADC reading, hundredths
    std::int32_t humidityChannel = 0;     // ADC reading, hundredths
    std::uint16_t mcuTemperatureAdc = 0;  // 12 bits against 6.6 V
    std::uint16_t batteryAdc = 0;
};

// What a calibration write carries: three coefficients, two serial numbers
// and the date. The calibration packet holds the same at the same places.
struct CalibrationValues {
    float a = 0, b = 0, c = 0;
    std::uint32_t number1 = 0;  // "№ р/з:"
    std::uint32_t number2 = 0;  // "№ б/д:"
    std::uint32_t date = 0;     // ddmmyy as one decimal number
};

struct CalibrationPacket {  // 0x82
    CalibrationValues values;
    // Coefficients A, B, C of the temperature and the humidity channel.
    float adcT[3]{}, adcH[3]{};
};

struct SettingsPacket {              // 0x83
    std::uint8_t frequencyCode = 0;  // see radio_settings.h
    std::uint8_t gain = 0;           // 0 off
    std::uint16_t correction = 0;    // 11-bit two's complement count of 250 Hz
    std::uint8_t biasCode = 0;       // VCO bias current, 0.5 mA steps from 0.5 mA
    std::uint8_t navMode = 0;        // 0 both systems, 1 GLONASS, 2 GPS
};

struct StatePacket {  // 0x84
    // A set bit is a fault: 0 transmitter PLL, 1 navigation module link,
    // 7 pressure sensor link.
    std::uint8_t faults = 0;
};

struct AckPacket {          // 0x80
    std::uint8_t code = 0;  // the frame type the acknowledged write had
};

using DevicePacket = std::variant<TelemetryPacket, CalibrationPacket, SettingsPacket, StatePacket, AckPacket>;

TelemetryPacket readTelemetry(const RxBuffer& RxBuf);
CalibrationPacket readCalibration(const RxBuffer& RxBuf);
SettingsPacket readSettings(const RxBuffer& RxBuf);
StatePacket readState(const RxBuffer& RxBuf);
AckPacket readAck(const RxBuffer& RxBuf);

// The packet RxBuf holds, by its type byte; nothing for host frames echoed
// back and unknown types.
std::optional<DevicePacket> readDevicePacket(const RxBuffer& RxBuf);

// Body offsets of the calibration values in the calibration packet; the
// calibration write carries them two bytes further on, after its key.
namespace calibration_layout {
inline constexpr std::size_t kA = 2, kB = 6, kC = 10;
inline constexpr std::size_t kAdcT = 14, kAdcH = 26;  // three singles each
inline constexpr std::size_t kNumber1 = 38, kNumber2 = 42, kDate = 46;
}  // namespace calibration_layout

}  // namespace protocol
