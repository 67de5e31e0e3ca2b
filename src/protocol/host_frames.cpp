#include "protocol/host_frames.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "protocol/crc16.h"

namespace protocol {
namespace {

template <std::size_t WireSize>
std::array<std::uint8_t, WireSize> wrapFixed(std::span<const std::uint8_t> body)
{
    static_assert(WireSize >= 6);
    std::array<std::uint8_t, WireSize> wire{};
    std::copy(kSyncWord.begin(), kSyncWord.end(), wire.begin());
    std::copy(body.begin(), body.end(), wire.begin() + 4);
    const std::uint16_t crc = crc16calc(body, body[1]);
    wire[WireSize - 2] = static_cast<std::uint8_t>(crc & 0xFFu);
    wire[WireSize - 1] = static_cast<std::uint8_t>(crc >> 8);
    return wire;
}

void putU32(std::uint8_t* at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void putSingle(std::uint8_t* at, float value) { putU32(at, std::bit_cast<std::uint32_t>(value)); }

SettingsFrame settingsCommand(std::uint8_t selector, std::uint8_t frequency, std::uint8_t gain,
                              std::uint8_t navMode)
{
    // Offset 6 carries 3 in every variant of the command.
    const std::array<std::uint8_t, 9> body{PT_SETTINGS_WRITE, 9, selector, frequency, gain, 0, 3, 0, navMode};
    return wrapFixed<wireSize(9)>(body);
}

}  // namespace

std::vector<std::uint8_t> wrapBody(std::span<const std::uint8_t> body)
{
    std::vector<std::uint8_t> wire(kSyncWord.begin(), kSyncWord.end());
    wire.reserve(wireSize(body.size()));
    for (std::uint8_t byte : body)
        wire.push_back(byte);
    const std::uint16_t length = body.size() >= 2 ? body[1] : 0;
    const std::uint16_t crc = crc16calc(body, length);
    wire.push_back(static_cast<std::uint8_t>(crc & 0xFFu));
    wire.push_back(static_cast<std::uint8_t>(crc >> 8));
    return wire;
}

RequestFrame buildRequest(std::uint8_t mask)
{
    const std::array<std::uint8_t, 3> body{PT_REQUEST, 3, mask};
    return wrapFixed<wireSize(3)>(body);
}

SettingsFrame buildFrequencyCommand(std::uint8_t code) { return settingsCommand(SET_FREQUENCY, code, 0, 0); }
SettingsFrame buildGainCommand(std::uint8_t gain) { return settingsCommand(SET_GAIN, 0, gain, 0); }
SettingsFrame buildNavModeCommand(std::uint8_t navMode)
{
    return settingsCommand(SET_NAVMODE, 0, 0, navMode);
}

CalibrationFrame buildCalibrationWrite(const CalibrationValues& values)
{
    // The calibration packet's layout two bytes further on, after the key;
    // only A, B, C and the integers are written, the six channel
    // coefficients between them stay zero.
    namespace cal = calibration_layout;
    constexpr std::size_t kAfterKey = 2;
    std::array<std::uint8_t, 52> body{};
    body[0] = PT_CALIB_WRITE;
    body[1] = 52;
    body[2] = static_cast<std::uint8_t>(kCalibWriteKey & 0xFFu);
    body[3] = static_cast<std::uint8_t>(kCalibWriteKey >> 8);
    putSingle(&body[cal::kA + kAfterKey], values.a);
    putSingle(&body[cal::kB + kAfterKey], values.b);
    putSingle(&body[cal::kC + kAfterKey], values.c);
    putU32(&body[cal::kNumber1 + kAfterKey], values.number1);
    putU32(&body[cal::kNumber2 + kAfterKey], values.number2);
    putU32(&body[cal::kDate + kAfterKey], values.date);
    return wrapFixed<wireSize(52)>(body);
}

}  // namespace protocol
