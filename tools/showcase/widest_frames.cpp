#include "showcase/widest_frames.h"

#include <cstring>
#include <limits>

#include "protocol/frame.h"
#include "protocol/host_frames.h"

namespace showcase {
namespace {

using Body = std::vector<std::uint8_t>;

void put(Body& body, std::size_t offset, std::uint32_t value, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i)
        body[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void putFloat(Body& body, std::size_t offset, float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    put(body, offset, bits, 4);
}

Frame wrap(Body body)
{
    body[1] = static_cast<std::uint8_t>(body.size());
    return protocol::wrapBody(body);
}

constexpr std::uint32_t kMinInt32 = 0x80000000u;  // -21474836,48 after the division by 100
constexpr std::uint32_t kMinInt16 = 0x8000u;      // -327,68

Frame telemetry()
{
    Body body(50, 0);
    body[0] = protocol::PT_TELEMETRY;
    body[2] = 255;  // firmware version
    body[3] = 255;  // packet number
    body[4] = 23;   // 23:59:59
    body[5] = 59;
    body[6] = 59;
    body[7] = 249;
    // Far outside the Earth and negative on every axis: the longest
    // coordinates, and geodetic values with all their digits.
    for (std::size_t offset : {8u, 12u, 16u})
        put(body, offset, kMinInt32, 4);
    for (std::size_t offset : {20u, 22u, 24u})
        put(body, offset, kMinInt16, 2);
    body[26] = 255;           // satellites
    body[27] = 255;           // 25,5 m
    body[28] = 255;           // 25,5 m/s
    put(body, 29, 65535, 2);  // PDOP 655,35
    body[31] = 0x01;          // "Расчет траектории", every flag "недостоверно"
    put(body, 32, static_cast<std::uint16_t>(-15000), 2);  // "нет датчика"
    put(body, 34, 0, 2);                                   // "нет датчика"
    put(body, 36, 65535, 2);                               // "нет датчика"
    put(body, 38, kMinInt32, 4);
    put(body, 42, kMinInt32, 4);
    put(body, 46, 65535, 2);  // "65535 (105,60 В)"
    put(body, 48, 65535, 2);
    return wrap(body);
}

Frame calibration()
{
    Body body(50, 0);
    body[0] = protocol::PT_CALIBRATION;
    const float smallest = -std::numeric_limits<float>::min();  // -1,1754944E-38
    const float coefficients[9] = {
        -999999.0f,    // A, fixed (6, 5): "-999999,00000"
        -1234567.0f,   // B, fixed (6, 2): "-1,23457E06"
        -1234567.0f,   // C, fixed (6, 3): "-1,23457E006"
        smallest,      // ADCt_A, exponent (8, 7)
        -16777216.0f,  // ADCt_B, fixed (8, 7): "-16777216,0000000"
        -16777216.0f,  // ADCt_C
        smallest,      // ADCh_A
        -16777216.0f,  // ADCh_B
        -16777216.0f,  // ADCh_C
    };
    for (int i = 0; i < 9; ++i)
        putFloat(body, 2 + 4 * static_cast<std::size_t>(i), coefficients[i]);
    put(body, 38, 4294967295u, 4);
    put(body, 42, 4294967295u, 4);
    put(body, 46, 311218, 4);  // "31.12.18"
    return wrap(body);
}

Frame settings()
{
    Body body(8, 0);
    body[0] = protocol::PT_SETTINGS;
    body[2] = 255;          // "412750 кГц (255)"
    body[3] = 255;          // "102,80 дБм (255)"
    put(body, 4, 1024, 2);  // "-256000 Гц (-1024)"
    body[6] = 254;          // "127,5 мА (254)"
    body[7] = 0;            // "ГЛОНАСС+GPS (0)"
    return wrap(body);
}

Frame state()
{
    Body body(3, 0);
    body[0] = protocol::PT_STATE;
    body[2] = 0x83;  // "Нет" three times
    return wrap(body);
}

Frame acknowledgement()
{
    Body body(3, 0);
    body[0] = protocol::PT_ACK;
    body[2] = 4;  // "Режим работы передатчика установлен hh:mm:ss"
    return wrap(body);
}

}  // namespace

std::vector<Frame> widestFrames()
{
    return {state(), acknowledgement(), calibration(), settings(), telemetry()};
}

}  // namespace showcase
