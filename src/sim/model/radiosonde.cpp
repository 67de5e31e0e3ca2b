#include "sim/model/radiosonde.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <ctime>

#include "protocol/frame.h"
#include "protocol/host_frames.h"

namespace sim {
namespace {

using namespace protocol;

// Little-endian field writers at body offsets.
template <typename T>
void put(std::span<std::uint8_t> body, std::size_t offset, T value)
{
    using U = std::make_unsigned_t<T>;
    const auto bits = static_cast<U>(value);
    for (std::size_t i = 0; i < sizeof(T); ++i)
        body[offset + i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

void putFloat(std::span<std::uint8_t> body, std::size_t offset, float value)
{
    put(body, offset, std::bit_cast<std::uint32_t>(value));
}

std::uint32_t getU32(std::span<const std::uint8_t> body, std::size_t offset)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(body[offset + i]) << (8 * i);
    return value;
}

float getFloat(std::span<const std::uint8_t> body, std::size_t offset)
{
    return std::bit_cast<float>(getU32(body, offset));
}

// Standard atmosphere, good enough for a launch site near the ground.
double pressureHpa(double height) { return 1013.25 * std::pow(1.0 - 2.25577e-5 * height, 5.25588); }

}  // namespace

Radiosonde::Radiosonde(LaunchSite site, double warmupSeconds, std::uint8_t stateFlags, std::uint64_t seed)
    : site_(geodeticToEcef(site.lat, site.lon, site.height)),
      siteHeight_(site.height),
      warmup_(warmupSeconds),
      stateFlags_(stateFlags),
      rng_(seed)
{}

double Radiosonde::normal(double sigma) { return std::normal_distribution<double>(0.0, sigma)(rng_); }

Reply Radiosonde::handleHostFrame(std::span<const std::uint8_t> body, const Instant& now)
{
    // Frames whose length is not the one of their type are not ours to act on:
    // the device would otherwise read fields past the frame.
    if (body.size() < 2 || body[1] != body.size())
        return {};
    switch (body[0]) {
    case PT_REQUEST: return body.size() == 3 ? answerRequest(body[2], now) : Reply{};
    case PT_SETTINGS_WRITE: return body.size() == 9 ? applySettings(body) : Reply{};
    case PT_CALIB_WRITE: return body.size() == 52 ? storeCalibration(body) : Reply{};
    default: return {};
    }
}

Reply Radiosonde::answerRequest(std::uint8_t mask, const Instant& now)
{
    Reply reply;
    const bool wasCyclic = cyclic_;
    cyclic_ = (mask & RQ_CYCLIC) != 0;
    // While cyclic telemetry runs, the once-a-second schedule serves the
    // telemetry bit: the host sets it in every request of its chain, and
    // answering each of those at once would turn the chain into a loop
    // that fills the line. Starting the cycle sends the first packet now.
    const bool telemetryNow = cyclic_ ? !wasCyclic : (mask & RQ_TELEMETRY) != 0;
    if (telemetryNow)
        reply.frames.push_back(telemetry(now));
    reply.cyclicStarted = cyclic_ && !wasCyclic;
    if (mask & RQ_CALIBRATION)
        reply.frames.push_back(calibrationPacket());
    if (mask & RQ_SETTINGS)
        reply.frames.push_back(settingsPacket());
    if (mask & RQ_STATE)
        reply.frames.push_back(statePacket());
    return reply;
}

Reply Radiosonde::applySettings(std::span<const std::uint8_t> body)
{
    switch (body[2]) {
    case SET_FREQUENCY: settings_.frequencyCode = body[3]; break;
    case SET_GAIN: settings_.gain = body[4]; break;
    case SET_NAVMODE: settings_.navMode = body[8]; break;
    default: return {};  // nothing changed, nothing to confirm
    }
    return {{acknowledgement(PT_SETTINGS_WRITE)}, false};
}

Reply Radiosonde::storeCalibration(std::span<const std::uint8_t> body)
{
    const auto key = static_cast<unsigned>(body[2] | (body[3] << 8));
    if (key != kCalibWriteKey)
        return {};
    // The write carries zeros where the channel coefficients would be;
    // those stay as the factory set them.
    calibration_.a = getFloat(body, 4);
    calibration_.b = getFloat(body, 8);
    calibration_.c = getFloat(body, 12);
    calibration_.number1 = getU32(body, 40);
    calibration_.number2 = getU32(body, 44);
    calibration_.date = getU32(body, 48);
    return {{acknowledgement(PT_CALIB_WRITE)}, false};
}

WireFrame Radiosonde::telemetry(const Instant& now)
{
    TelemetryReadings r;
    r.packetNumber = packetNumber_++;  // wraps after 255

    const auto sinceEpoch = now.utc.time_since_epoch();
    const std::time_t seconds = std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch).count();
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    r.hour = utc.tm_hour;
    r.minute = utc.tm_min;
    r.second = std::min(utc.tm_sec, 59);  // no leap second on the wire
    r.millisecond =
        static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count() % 1000);

    // Satellite search: nothing for the first fifth of the warm-up, then
    // satellites come in, a 2D fix from half-way, a 3D fix at the end.
    const double progress = warmup_ > 0 ? now.uptime / warmup_ : 1.0;
    const double settled = std::max(0.0, now.uptime - warmup_);  // seconds since the 3D fix
    std::uint8_t fix = kFixNone;
    double satellites = 0, posAccuracy = 25.5, velAccuracy = 25.5, pdop = 99.99, spread = 0;
    if (progress >= 1.0) {
        fix = kFix3D;
        const double improving = std::exp(-settled / 60.0);
        satellites = 12 + std::round(normal(0.6));
        posAccuracy = 1.8 + 2.2 * improving + normal(0.05);
        velAccuracy = 0.3 + 0.5 * improving;
        pdop = 1.3 + 1.0 * improving + normal(0.02);
        spread = posAccuracy / 2;
    } else if (progress >= 0.5) {
        fix = kFix2D;
        const double t = (progress - 0.5) / 0.5;
        satellites = 6 + std::floor(4 * t);
        posAccuracy = 15.0 - 9.0 * t;
        velAccuracy = 2.0 - 1.0 * t;
        pdop = 5.0 - 2.5 * t;
        spread = 5.0;
    } else if (progress >= 0.2) {
        satellites = 1 + std::floor(8 * (progress - 0.2));
    }

    if (fix != kFixNone) {
        // The receiver's scatter around a site that does not move.
        r.position = {site_.x + normal(spread), site_.y + normal(spread), site_.z + normal(spread)};
        r.velocity = {normal(3) / 100, normal(3) / 100, normal(3) / 100};
    }
    r.satellites = satellites;
    r.positionAccuracy = posAccuracy;
    r.velocityAccuracy = velAccuracy;
    r.pdop = pdop;
    r.navigationFlags = static_cast<std::uint8_t>(fix | (fix != kFixNone ? kTimeFlagsValid : 0));

    r.temperature = 15.0 + 0.3 * std::sin(now.uptime / 300.0) + normal(0.03);
    r.humidity = std::clamp(55.0 + normal(0.1), 0.01, 100.0);
    r.pressure = pressureHpa(siteHeight_) + normal(0.05);
    // The measuring channels' raw counts follow the values they measure.
    r.temperatureChannel = 30000 + 100 * r.temperature + normal(0.5);
    r.humidityChannel = 20000 + 150 * r.humidity + normal(0.5);
    r.mcuTemperatureAdc = 1150 + normal(2);
    r.batteryAdc = 3000 + normal(3);
    return wrapBody(packTelemetry(r));
}

WireFrame Radiosonde::calibrationPacket() const
{
    std::array<std::uint8_t, 50> body{};
    body[0] = PT_CALIBRATION;
    body[1] = static_cast<std::uint8_t>(body.size());
    putFloat(body, 2, calibration_.a);
    putFloat(body, 6, calibration_.b);
    putFloat(body, 10, calibration_.c);
    for (std::size_t i = 0; i < 3; ++i) {
        putFloat(body, 14 + 4 * i, calibration_.adcT[i]);
        putFloat(body, 26 + 4 * i, calibration_.adcH[i]);
    }
    put(body, 38, calibration_.number1);
    put(body, 42, calibration_.number2);
    put(body, 46, calibration_.date);
    return wrapBody(body);
}

WireFrame Radiosonde::settingsPacket() const
{
    std::array<std::uint8_t, 8> body{};
    body[0] = PT_SETTINGS;
    body[1] = static_cast<std::uint8_t>(body.size());
    body[2] = settings_.frequencyCode;
    body[3] = settings_.gain;
    put(body, 4, settings_.correction);
    body[6] = settings_.biasCurrent;
    body[7] = settings_.navMode;
    return wrapBody(body);
}

WireFrame Radiosonde::statePacket() const
{
    const std::array<std::uint8_t, 3> body{PT_STATE, 3, stateFlags_};
    return wrapBody(body);
}

WireFrame Radiosonde::acknowledgement(std::uint8_t code)
{
    const std::array<std::uint8_t, 3> body{PT_ACK, 3, code};
    return wrapBody(body);
}

}  // namespace sim
