#include "moving_radiosonde.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "frame.h"
#include "pz90.h"

namespace bench {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kLaunchLat = 55.7504 * kPi / 180, kLaunchLon = 37.62 * kPi / 180;
constexpr double kLaunchHeight = 150;  // metres above the ellipsoid
constexpr double kBurstHeight = 30000;
constexpr std::uint32_t kLaunchSecondOfDay = 9 * 3600 + 4 * 60 + 30;  // 9:04:30

template <typename T>
T clampTo(double value)
{
    const double lo = static_cast<double>(std::numeric_limits<T>::min());
    const double hi = static_cast<double>(std::numeric_limits<T>::max());
    return static_cast<T>(std::clamp(std::round(value), lo, hi));
}

template <typename T>
void put(TelemetryBody& body, std::size_t offset, T value)
{
    using U = std::make_unsigned_t<T>;
    const auto bits = static_cast<U>(value);
    for (std::size_t i = 0; i < sizeof(T); ++i)
        body[offset + i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

// The standard atmosphere: troposphere to 11 km, then isothermal.
double temperatureC(double h) { return h < 11000 ? 15 - 0.0065 * h : -56.5; }
double pressureHpa(double h)
{
    if (h < 11000)
        return 1013.25 * std::pow(1 - 2.25577e-5 * h, 5.25588);
    return 226.32 * std::exp(-(h - 11000) / 6341.6);
}

}  // namespace

MovingRadiosonde::MovingRadiosonde(std::uint64_t seed)
    : rng_(seed), lat_(kLaunchLat), lon_(kLaunchLon), height_(kLaunchHeight)
{}

double MovingRadiosonde::normal(double sigma) { return std::normal_distribution<double>(0.0, sigma)(rng_); }

// One second of flight: the wind carries the balloon east and a little
// north, stronger higher up; it climbs until it bursts, then falls ever
// slower in thickening air, and a new one is launched from the same place.
void MovingRadiosonde::fly()
{
    const double t = flightSecond_;
    const double jet = std::exp(-std::pow((height_ - 10000) / 6000, 2));  // the jet stream near 10 km
    east_ = 4 + 26 * jet + 3 * std::sin(t / 170) + normal(0.3);
    north_ = 2 + 6 * jet * std::sin(t / 900) + 2 * std::cos(t / 230) + normal(0.3);
    if (!falling_) {
        up_ = 5 + 0.6 * std::sin(t / 37) + normal(0.2);
        if (height_ >= kBurstHeight)
            falling_ = true;
    }
    if (falling_) {
        up_ = -(8 + 40 * (height_ / kBurstHeight) * (height_ / kBurstHeight)) + normal(0.5);
        if (height_ <= kLaunchHeight) {
            falling_ = false;
            lat_ = kLaunchLat, lon_ = kLaunchLon, height_ = kLaunchHeight;
            return;
        }
    }
    const double radius = sim::kPz90A + height_;
    lat_ += north_ / radius;
    lon_ += east_ / (radius * std::cos(lat_));
    height_ += up_;
}

TelemetryBody MovingRadiosonde::next()
{
    fly();
    TelemetryBody body{};
    body[0] = protocol::PT_TELEMETRY;
    body[1] = kTelemetryBodySize;
    body[2] = 17;  // firmware version
    body[3] = packetNumber_++;

    const std::uint32_t second = (kLaunchSecondOfDay + flightSecond_++) % 86400;
    body[4] = static_cast<std::uint8_t>(second / 3600);
    body[5] = static_cast<std::uint8_t>(second / 60 % 60);
    body[6] = static_cast<std::uint8_t>(second % 60);
    body[7] = static_cast<std::uint8_t>(std::uniform_int_distribution<int>(0, 249)(rng_));

    // The receiver's solution scatters by some tenths of a metre around the
    // true track; velocities turn from local north, east, up into the
    // Earth-centred frame.
    const double latDeg = lat_ * 180 / kPi, lonDeg = lon_ * 180 / kPi;
    const sim::Ecef p = sim::geodeticToEcef(latDeg, lonDeg, height_);
    put(body, 8, clampTo<std::int32_t>((p.x + normal(0.8)) * 100));
    put(body, 12, clampTo<std::int32_t>((p.y + normal(0.8)) * 100));
    put(body, 16, clampTo<std::int32_t>((p.z + normal(0.8)) * 100));
    const double sB = std::sin(lat_), cB = std::cos(lat_), sL = std::sin(lon_), cL = std::cos(lon_);
    const double vx = -sL * east_ - sB * cL * north_ + cB * cL * up_;
    const double vy = cL * east_ - sB * sL * north_ + cB * sL * up_;
    const double vz = cB * north_ + sB * up_;
    put(body, 20, clampTo<std::int16_t>((vx + normal(0.05)) * 100));
    put(body, 22, clampTo<std::int16_t>((vy + normal(0.05)) * 100));
    put(body, 24, clampTo<std::int16_t>((vz + normal(0.05)) * 100));

    // Satellites come and go now and then.
    if (std::uniform_int_distribution<int>(0, 29)(rng_) == 0)
        satellites_ =
            std::clamp(satellites_ + (std::uniform_int_distribution<int>(0, 1)(rng_) ? 1 : -1), 7, 16);
    body[26] = static_cast<std::uint8_t>(satellites_);
    body[27] = clampTo<std::uint8_t>((2.4 - 0.06 * satellites_ + normal(0.3)) * 10);
    body[28] = clampTo<std::uint8_t>((0.4 + normal(0.08)) * 10);
    put(body, 29, clampTo<std::uint16_t>((2.6 - 0.08 * satellites_ + normal(0.04)) * 100));
    body[31] = 0xE3;  // 3D fix, GPS time, week number and UTC time valid

    const double temperature = temperatureC(height_) + normal(0.05);
    const double humidity = std::clamp(75 * std::exp(-height_ / 6000) + 2 + normal(0.3), 0.01, 100.0);
    const double pressure = pressureHpa(height_) + normal(0.05);
    put(body, 32, clampTo<std::int16_t>(temperature * 100));
    put(body, 34, clampTo<std::uint16_t>(humidity * 100));
    put(body, 36, clampTo<std::uint16_t>(pressure * 10));
    // The measuring channels' raw counts follow what they measure.
    put(body, 38, clampTo<std::int32_t>((30000 + 100 * temperature + normal(0.5)) * 100));
    put(body, 42, clampTo<std::int32_t>((20000 + 150 * humidity + normal(0.5)) * 100));
    put(body, 46, clampTo<std::uint16_t>(1150 - 2 * temperature + normal(2)));
    battery_ -= 0.01;
    if (battery_ < 2700)
        battery_ = 3150;
    put(body, 48, clampTo<std::uint16_t>(battery_ + normal(3)));
    return body;
}

}  // namespace bench
