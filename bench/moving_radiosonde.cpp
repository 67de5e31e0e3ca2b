#include "moving_radiosonde.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "sim/model/pz90.h"

namespace bench {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kLaunchLat = 55.7504 * kPi / 180, kLaunchLon = 37.62 * kPi / 180;
constexpr double kLaunchHeight = 150;  // metres above the ellipsoid
constexpr double kBurstHeight = 30000;
constexpr std::uint32_t kLaunchSecondOfDay = 9 * 3600 + 4 * 60 + 30;  // 9:04:30

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
    sim::TelemetryReadings r;
    r.packetNumber = packetNumber_++;

    const std::uint32_t second = (kLaunchSecondOfDay + flightSecond_++) % 86400;
    r.hour = static_cast<int>(second / 3600);
    r.minute = static_cast<int>(second / 60 % 60);
    r.second = static_cast<int>(second % 60);
    r.millisecond = 4 * std::uniform_int_distribution<int>(0, 249)(rng_);

    // The receiver's solution scatters by some tenths of a metre around the
    // true track; velocities turn from local north, east, up into the
    // Earth-centred frame.
    const double latDeg = lat_ * 180 / kPi, lonDeg = lon_ * 180 / kPi;
    const sim::Ecef p = sim::geodeticToEcef(latDeg, lonDeg, height_);
    r.position = {p.x + normal(0.8), p.y + normal(0.8), p.z + normal(0.8)};
    const double sB = std::sin(lat_), cB = std::cos(lat_), sL = std::sin(lon_), cL = std::cos(lon_);
    const double vx = -sL * east_ - sB * cL * north_ + cB * cL * up_;
    const double vy = cL * east_ - sB * sL * north_ + cB * sL * up_;
    const double vz = cB * north_ + sB * up_;
    r.velocity = {vx + normal(0.05), vy + normal(0.05), vz + normal(0.05)};

    // Satellites come and go now and then.
    if (std::uniform_int_distribution<int>(0, 29)(rng_) == 0)
        satellites_ =
            std::clamp(satellites_ + (std::uniform_int_distribution<int>(0, 1)(rng_) ? 1 : -1), 7, 16);
    r.satellites = satellites_;
    r.positionAccuracy = 2.4 - 0.06 * satellites_ + normal(0.3);
    r.velocityAccuracy = 0.4 + normal(0.08);
    r.pdop = 2.6 - 0.08 * satellites_ + normal(0.04);
    r.navigationFlags = sim::kFix3D | sim::kTimeFlagsValid;

    r.temperature = temperatureC(height_) + normal(0.05);
    r.humidity = std::clamp(75 * std::exp(-height_ / 6000) + 2 + normal(0.3), 0.01, 100.0);
    r.pressure = pressureHpa(height_) + normal(0.05);
    // The measuring channels' raw counts follow what they measure.
    r.temperatureChannel = 30000 + 100 * r.temperature + normal(0.5);
    r.humidityChannel = 20000 + 150 * r.humidity + normal(0.5);
    r.mcuTemperatureAdc = 1150 - 2 * r.temperature + normal(2);
    battery_ -= 0.01;
    if (battery_ < 2700)
        battery_ = 3150;
    r.batteryAdc = battery_ + normal(3);
    return sim::packTelemetry(r);
}

}  // namespace bench
