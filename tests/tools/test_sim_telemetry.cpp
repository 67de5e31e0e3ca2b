// The telemetry of a radiosonde waiting on the launch pad.
#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <numbers>
#include <thread>

#include "protocol/frame.h"
#include "sim_port.h"

using namespace simtest;
using namespace protocol;

namespace {

struct Geodetic {
    double lat, lon, height;  // degrees, degrees east in 0..360, metres
};

// Rectangular to geodetic on PZ-90 by fixed-point iteration on the
// latitude; written independently of the simulator's forward formula.
Geodetic toGeodetic(double x, double y, double z)
{
    const double a = 6378136.0;
    const double f = 1.0 / 298.25784;
    const double e2 = f * (2 - f);
    const double p = std::hypot(x, y);
    double lat = std::atan2(z, p * (1 - e2));
    double height = 0;
    for (int i = 0; i < 10; ++i) {
        const double n = a / std::sqrt(1 - e2 * std::sin(lat) * std::sin(lat));
        height = p / std::cos(lat) - n;
        lat = std::atan2(z, p * (1 - e2 * n / (n + height)));
    }
    double lon = std::atan2(y, x) * 180 / std::numbers::pi;
    if (lon < 0)
        lon += 360;
    return {lat * 180 / std::numbers::pi, lon, height};
}

Geodetic positionIn(const Received& telemetry)
{
    return toGeodetic(i32(telemetry.body, 8) / 100.0, i32(telemetry.body, 12) / 100.0,
                      i32(telemetry.body, 16) / 100.0);
}

Received telemetryNow(Port& port)
{
    port.request(RQ_TELEMETRY);
    const auto frames = port.collect(1, 1s);
    EXPECT_EQ(typesOf(frames), std::vector<std::uint8_t>{PT_TELEMETRY});
    return frames.empty() ? Received{} : frames[0];
}

std::uint8_t fixType(const Received& t) { return t.body.at(31) & 0x07; }
std::uint8_t validity(const Received& t) { return t.body.at(31) & 0xE0; }

}  // namespace

TEST(SimTelemetry, InverseFormulaMatchesAKnownPoint)
{
    // The checker itself, on the rectangular coordinates of 55.75 N 37.62 E,
    // 150 m, to the centimetre.
    const auto g = toGeodetic(2849866.67, 2196277.98, 5248950.08);
    EXPECT_NEAR(g.lat, 55.750000, 1e-6);
    EXPECT_NEAR(g.lon, 37.620000, 1e-6);
    EXPECT_NEAR(g.height, 150.0, 0.01);
}

TEST(SimTelemetry, PositionConvertsBackToTheLaunchSite)
{
    struct Site {
        const char* lat;
        const char* lon;
        const char* height;
        Geodetic expected;
    };
    const Site sites[] = {
        {"55.7504", "37.62", "150", {55.7504, 37.62, 150}},
        {"-33.45", "-70.66", "520", {-33.45, 289.34, 520}},
        {"78.22", "15.65", "10", {78.22, 15.65, 10}},
        {"0.5", "179.9", "25", {0.5, 179.9, 25}},
    };
    for (const auto& s : sites) {
        SCOPED_TRACE(std::string(s.lat) + " " + s.lon);
        SimProcess sim({"--warmup", "0", "--lat", s.lat, "--lon", s.lon, "--height", s.height});
        Port port(sim.linePath());
        const auto t = telemetryNow(port);
        ASSERT_EQ(t.body.size(), 50u);
        EXPECT_EQ(fixType(t), 3);
        EXPECT_EQ(validity(t), 0xE0);
        const auto g = positionIn(t);
        EXPECT_NEAR(g.lat, s.expected.lat, 0.001);
        EXPECT_NEAR(g.lon, s.expected.lon, 0.001);
        EXPECT_NEAR(g.height, s.expected.height, 20.0);
    }
}

TEST(SimTelemetry, ClockAndReadingsLookLikeTheGround)
{
    SimProcess sim({"--warmup", "0"});
    Port port(sim.linePath());
    const std::time_t before = std::time(nullptr);
    const auto t = telemetryNow(port);
    ASSERT_EQ(t.body.size(), 50u);
    std::tm utc{};
    gmtime_r(&before, &utc);
    const int sent = t.body[4] * 3600 + t.body[5] * 60 + t.body[6];
    const int clock = utc.tm_hour * 3600 + utc.tm_min * 60 + utc.tm_sec;
    EXPECT_LE((sent - clock + 86400) % 86400, 2) << "navigation time is the UTC clock";
    EXPECT_LE(t.body[7], 249);

    const double temperature = static_cast<std::int16_t>(u16(t.body, 32)) / 100.0;
    const double humidity = u16(t.body, 34) / 100.0;
    const double pressure = u16(t.body, 36) / 10.0;
    EXPECT_GT(temperature, -150.0) << "not the no-sensor mark";
    EXPECT_GT(humidity, 0.0);
    EXPECT_LT(humidity, 100.0);
    EXPECT_NEAR(pressure, 995.5, 2.0) << "about 150 m above sea level";
    EXPECT_GT(t.body[26], 3) << "satellites in use";
}

TEST(SimTelemetry, FixBuildsUpOverTheWarmup)
{
    SimProcess sim({"--warmup", "2"});
    Port port(sim.linePath());
    const auto cold = telemetryNow(port);
    ASSERT_EQ(cold.body.size(), 50u);
    EXPECT_EQ(fixType(cold), 0);
    EXPECT_EQ(validity(cold), 0);
    EXPECT_EQ(cold.body[26], 0);
    EXPECT_EQ(i32(cold.body, 8), 0) << "no position without a fix";

    std::this_thread::sleep_for(1300ms);
    const auto twoD = telemetryNow(port);
    ASSERT_EQ(twoD.body.size(), 50u);
    EXPECT_EQ(fixType(twoD), 2);
    EXPECT_EQ(validity(twoD), 0xE0);

    std::this_thread::sleep_for(900ms);
    const auto threeD = telemetryNow(port);
    ASSERT_EQ(threeD.body.size(), 50u);
    EXPECT_EQ(fixType(threeD), 3);
    EXPECT_GT(threeD.body[26], twoD.body[26]) << "more satellites";
    EXPECT_LT(threeD.body[27], twoD.body[27]) << "better position accuracy";
    EXPECT_LT(u16(threeD.body, 29), u16(twoD.body, 29)) << "lower PDOP";
    EXPECT_EQ(threeD.body[3], static_cast<std::uint8_t>(cold.body[3] + 2)) << "packet numbers";
}
