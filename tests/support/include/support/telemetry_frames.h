// Sample packets shared by the decoder and chain tests.
#pragma once

#include "protocol/frame.h"
#include "support/rx_body.h"

namespace telemetry::testing {

// A complete, valid telemetry packet at a point near Moscow, standing still.
inline RxBody telemetryBody()
{
    RxBody body(protocol::PT_TELEMETRY, 50);
    body.u8(2, 7)
        .u8(3, 42)  // firmware, packet number
        .u8(4, 9)
        .u8(5, 5)
        .u8(6, 7)
        .u8(7, 0)  // 9:05:07.000
        .i32(8, 284986667)
        .i32(12, 219627798)
        .i32(16, 524895008)
        .i16(20, 0)
        .i16(22, 0)
        .i16(24, 0)
        .u8(26, 9)
        .u8(27, 7)
        .u8(28, 3)
        .u16(29, 150)
        .u8(31, 0xE3)
        .i16(32, 2345)
        .u16(34, 5000)
        .u16(36, 10132)
        .i32(38, 123456)
        .i32(42, -100)
        .u16(46, 2048)
        .u16(48, 3000);
    return body;
}

inline RxBody calibrationBody()
{
    RxBody body(protocol::PT_CALIBRATION, 50);
    body.single(2, 1.5f)
        .single(6, -40.0f)
        .single(10, 273.15f)
        .single(14, 2.0f)
        .single(18, 0.5f)
        .single(22, 123.5f)
        .single(26, -0.25f)
        .single(30, 0.0f)
        .single(34, 1.0f)
        .u32(38, 123456)
        .u32(42, 654321)
        .u32(46, 311218);
    return body;
}

inline RxBody settingsBody()
{
    RxBody body(protocol::PT_SETTINGS, 8);
    body.u8(2, 60).u8(3, 63).u16(4, 4).u8(6, 3).u8(7, 0);
    return body;
}

inline RxBody stateBody(std::uint8_t flags = 0)
{
    RxBody body(protocol::PT_STATE, 3);
    body.u8(2, flags);
    return body;
}

}  // namespace telemetry::testing
