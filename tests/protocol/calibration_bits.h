// A calibration write's values given by the bits of its singles, so that a
// table of cases can name NaN payloads, minus zero and subnormals exactly.
#pragma once

#include <bit>
#include <cstdint>

#include "protocol/device_packets.h"

struct CalibrationBits {
    const char* what;
    std::uint32_t a, b, c;  // the singles' bits
    std::uint32_t number1, number2, date;

    protocol::CalibrationValues values() const
    {
        protocol::CalibrationValues v;
        v.a = std::bit_cast<float>(a);
        v.b = std::bit_cast<float>(b);
        v.c = std::bit_cast<float>(c);
        v.number1 = number1;
        v.number2 = number2;
        v.date = date;
        return v;
    }
};
