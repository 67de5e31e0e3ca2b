// A radiosonde in flight, one telemetry packet per second of flight: it
// climbs at some 5 m/s and drifts with a wind that grows with height,
// bursts at 30 km and falls back, and launches again. Every packet moves
// the time on by a second and changes the position, the velocities and
// the readings, as a real flight does, so that every display field the
// telemetry writes gets a new text in every frame. Deterministic: the same
// seed gives the same packets.
#pragma once

#include <cstdint>
#include <random>

#include "sim/model/telemetry_packet.h"

namespace bench {

using sim::TelemetryBody;

class MovingRadiosonde {
public:
    explicit MovingRadiosonde(std::uint64_t seed = 1);

    // The next second of the flight.
    TelemetryBody next();

private:
    double normal(double sigma);
    void fly();

    std::mt19937_64 rng_;
    std::uint8_t packetNumber_ = 0;
    std::uint32_t flightSecond_ = 0;        // since the first launch
    double lat_, lon_, height_;             // radians, radians, metres
    double north_ = 0, east_ = 0, up_ = 0;  // m/s
    bool falling_ = false;
    int satellites_ = 11;
    double battery_ = 3150;
};

}  // namespace bench
