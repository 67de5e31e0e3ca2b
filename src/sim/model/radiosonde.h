// The device model of the simulated radiosonde: what it holds in memory,
// how it answers the host's frames, and the packets it builds.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <random>
#include <span>
#include <vector>

#include "sim/model/pz90.h"
#include "sim/model/telemetry_packet.h"

namespace sim {

using WireFrame = std::vector<std::uint8_t>;  // sync word, body, CRC

struct LaunchSite {
    double lat = 55.7504;  // degrees
    double lon = 37.62;
    double height = 150.0;  // metres above the ellipsoid
};

struct Calibration {
    float a = 1.5f, b = -40.0f, c = 273.15f;
    std::array<float, 3> adcT{2.0e-6f, 0.0125f, -45.3f};
    std::array<float, 3> adcH{-1.5e-7f, 0.0031f, -12.8f};
    std::uint32_t number1 = 240315;
    std::uint32_t number2 = 1187;
    std::uint32_t date = 150324;  // ddmmyy
};

struct RadioSettings {
    std::uint8_t frequencyCode = 60;  // 400000 + 50 * code kHz
    std::uint8_t gain = 30;
    std::uint16_t correction = 4;  // 11-bit two's complement, 250 Hz steps
    std::uint8_t biasCurrent = 3;  // 0.5 * code + 0.5 mA
    std::uint8_t navMode = 0;      // 0 GLONASS+GPS, 1 GLONASS, 2 GPS
};

// The moment a packet is built: time since power-on drives the satellite
// search, the wall clock gives the navigation time.
struct Instant {
    double uptime = 0;  // seconds
    std::chrono::system_clock::time_point utc;
};

struct Reply {
    std::vector<WireFrame> frames;  // in the order they go out
    bool cyclicStarted = false;     // the next cyclic telemetry is due in a second
};

class Radiosonde {
public:
    Radiosonde(LaunchSite site, double warmupSeconds, std::uint8_t stateFlags, std::uint64_t seed);

    // A host frame with a good CRC, as its body (offset 0 the type).
    Reply handleHostFrame(std::span<const std::uint8_t> body, const Instant& now);

    bool cyclic() const { return cyclic_; }

    WireFrame telemetry(const Instant& now);
    WireFrame calibrationPacket() const;
    WireFrame settingsPacket() const;
    WireFrame statePacket() const;
    static WireFrame acknowledgement(std::uint8_t code);

private:
    Reply answerRequest(std::uint8_t mask, const Instant& now);
    Reply applySettings(std::span<const std::uint8_t> body);
    Reply storeCalibration(std::span<const std::uint8_t> body);

    double normal(double sigma);

    Ecef site_;
    double siteHeight_;
    double warmup_;
    std::uint8_t stateFlags_;
    Calibration calibration_;
    RadioSettings settings_;
    bool cyclic_ = false;
    std::uint8_t packetNumber_ = 0;
    std::mt19937_64 rng_;
};

}  // namespace sim
