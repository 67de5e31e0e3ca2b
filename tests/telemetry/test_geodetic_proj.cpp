// The geodetic conversion against an independent one: PROJ's cct, run on a
// few thousand random positions all over the Earth from 400 m below the
// sea to 40 km up. Every shown B, L and H must be PROJ's value rounded to
// the shown digits, and north, east, up, speed and heading the velocity
// turned by PROJ's latitude and longitude.
//
// cct comes with Debian's proj-bin, one of the test packages; without it
// the test fails and says so rather than pass on nothing.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <process.h>
#define popen _popen
#define pclose _pclose
#define getpid _getpid
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "common/formats.h"
#include "support/fake_form.h"
#include "telemetry/telemetry.h"

namespace telemetry::testing {
namespace {

using real = long double;

constexpr real kPi = std::numbers::pi_v<real>;
constexpr real kDegrees = 180 / kPi;
constexpr real a = 6378136, f = 1 / 298.25784L, e2 = 2 * f - f * f;

constexpr int kPoints = 4000;

// PROJ's cartesian-to-geodetic on the same ellipsoid, in and out in
// "lon lat h" order, with the digits the comparison needs.
constexpr const char* kCct = "cct -I -d 12 +proj=cart +a=6378136 +rf=298.25784";

struct Point {
    std::array<std::string, 6> inputs;  // X, Y, Z, Vx, Vy, Vz as the service page shows them
    std::array<real, 3> velocity;
};

struct Reference {
    real B, L, H;  // degrees (L in 0..360), degrees, metres
};

// Geodetic to rectangular, rounded to the centimetre the telemetry carries.
std::int64_t centimetres(real metres) { return std::llround(metres * 100); }

std::vector<Point> randomPoints()
{
    std::mt19937_64 random(19);
    std::uniform_real_distribution<real> unit(0, 1);
    std::uniform_int_distribution<int> velocity(-6000, 6000);  // a radiosonde's hundredths of m/s
    std::vector<Point> points;
    for (int i = 0; i < kPoints; ++i) {
        // A fifth within a degree of the equator, a fifth within a degree
        // of a pole, the rest spread evenly over the sphere.
        const real pick = unit(random);
        real B;
        if (pick < 0.2L)
            B = 2 * unit(random) - 1;
        else if (pick < 0.4L)
            B = (unit(random) < 0.5L ? -1 : 1) * (89 + unit(random));
        else
            B = std::asin(2 * unit(random) - 1) * kDegrees;
        const real L = 360 * unit(random) - 180;
        const real h = -400 + 40400 * unit(random);

        const real sB = std::sin(B / kDegrees), cB = std::cos(B / kDegrees);
        const real N = a / std::sqrt(1 - e2 * sB * sB);
        const std::int64_t X = centimetres((N + h) * cB * std::cos(L / kDegrees));
        const std::int64_t Y = centimetres((N + h) * cB * std::sin(L / kDegrees));
        const std::int64_t Z = centimetres((N * (1 - e2) + h) * sB);
        const int V[3] = {velocity(random), velocity(random), velocity(random)};

        Point p;
        const std::int64_t raw[6] = {X, Y, Z, V[0], V[1], V[2]};
        for (std::size_t k = 0; k < 6; ++k)
            p.inputs[k] = formats::general(raw[k] / 100.0L);  // as the decoder writes them
        for (std::size_t k = 0; k < 3; ++k)
            p.velocity[k] = V[k] / 100.0L;
        points.push_back(p);
    }
    return points;
}

// Runs cct on the positions; an empty result and a message on failure.
std::vector<Reference> projReference(const std::vector<Point>& points, std::string& failure)
{
    const std::filesystem::path input =
        std::filesystem::temp_directory_path() / ("kalvi7-cct-" + std::to_string(getpid()) + ".txt");
    {
        std::ofstream out(input);
        for (const Point& p : points) {
            for (std::size_t k = 0; k < 3; ++k) {
                std::string text = p.inputs[k];
                for (char& c : text)
                    c = c == ',' ? '.' : c;
                out << text << (k < 2 ? ' ' : '\n');
            }
        }
    }
    const std::string command = std::string(kCct) + " '" + input.string() + "' 2>&1";
    std::vector<Reference> result;
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe))
            output += buffer;
        const int status = pclose(pipe);
#ifndef _WIN32
        if (WIFEXITED(status) && WEXITSTATUS(status) == 127)
            failure = "cct is not installed (Debian package proj-bin): no reference to compare with";
        else if (status != 0)
            failure = "cct failed: " + output.substr(0, 500);
#else
        if (status != 0)
            failure = "cct is missing or failed (PROJ's proj-bin): " + output.substr(0, 500);
#endif
    } else {
        failure = "could not start cct";
    }
    std::filesystem::remove(input);
    if (!failure.empty())
        return {};

    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        long double lon, lat, h;
        if (!(fields >> lon >> lat >> h)) {
            failure = "cct wrote an unreadable line: " + line;
            return {};
        }
        result.push_back({lat, lon < 0 ? lon + 360 : lon, h});
    }
    if (result.size() != points.size())
        failure = "cct answered " + std::to_string(result.size()) + " lines for " +
                  std::to_string(points.size()) + " positions";
    return result;
}

// The texts a value may show: its own rounding, or the neighbouring one
// when it lies within `slack` of a rounding half.
std::set<std::string> shownAs(real value, int decimals, real slack)
{
    return {formats::fixed(value - slack, 10, decimals), formats::fixed(value + slack, 10, decimals)};
}

std::string listed(const std::set<std::string>& texts)
{
    std::string out;
    for (const auto& t : texts)
        out += (out.empty() ? "" : " or ") + t;
    return out;
}

TEST(GeodeticAgainstProj, RandomPositionsShowProjsValues)
{
    const std::vector<Point> points = randomPoints();
    std::string failure;
    const std::vector<Reference> reference = projReference(points, failure);
    ASSERT_TRUE(failure.empty()) << failure;

    // B comes within a fraction of a millimetre of PROJ's; only a value
    // that close to a rounding half may show the neighbouring last digit.
    constexpr real kSlackB = 1e-9L;         // degrees (0.1 mm)
    constexpr real kSlackL = 1e-9L;         // degrees
    constexpr real kSlackH = 0.0001L;       // metres
    constexpr real kSlackVelocity = 1e-6L;  // m/s

    FakeForm form;
    int mismatches = 0;
    for (std::size_t i = 0; i < points.size() && mismatches < 10; ++i) {
        const Point& p = points[i];
        const Reference& ref = reference[i];
        static constexpr Field kInputs[6] = {Field::Label7,  Field::Label8,  Field::Label9,
                                             Field::Label12, Field::Label13, Field::Label18};
        for (std::size_t k = 0; k < 6; ++k)
            form.fields[static_cast<std::size_t>(kInputs[k])] = p.inputs[k];
        form.clearRecords();
        XYZ_to_LBH(form);

        const real sB = std::sin(ref.B / kDegrees), cB = std::cos(ref.B / kDegrees);
        const real sL = std::sin(ref.L / kDegrees), cL = std::cos(ref.L / kDegrees);
        const auto& [Vx, Vy, Vz] = p.velocity;
        const real north = -sB * cL * Vx - sB * sL * Vy + cB * Vz;
        const real east = -sL * Vx + cL * Vy;
        const real up = cB * cL * Vx + cB * sL * Vy + sB * Vz;
        const real speed = std::hypot(north, east);
        real heading = std::atan2(east, north) * kDegrees;
        if (heading < 0)
            heading += 360;
        // A heading turns by the velocity's slack over the speed; at the
        // full circle 0 and 360 are the same direction.
        const real slackK = kSlackVelocity / speed * kDegrees + 1e-9L;
        std::set<std::string> headings = shownAs(heading, 2, slackK);
        if (heading + slackK >= 360 || formats::fixed(heading, 10, 2) == "360,00")
            headings.insert("0,00");

        const struct {
            const char* what;
            Field field;
            std::set<std::string> allowed;
        } checks[] = {
            {"B", Field::Label77, shownAs(ref.B, 6, kSlackB)},
            {"L", Field::Label78, shownAs(ref.L, 6, kSlackL)},
            {"H", Field::Label79, shownAs(ref.H, 2, kSlackH)},
            {"north", Field::Label80, shownAs(north, 2, kSlackVelocity)},
            {"east", Field::Label81, shownAs(east, 2, kSlackVelocity)},
            {"up", Field::Label82, shownAs(up, 2, kSlackVelocity)},
            {"speed", Field::Label83, shownAs(speed, 2, kSlackVelocity)},
            {"heading", Field::Label85, headings},
        };
        for (const auto& check : checks) {
            const std::string& shown = form.field(check.field);
            if (check.allowed.count(shown) == 0) {
                ++mismatches;
                ADD_FAILURE() << check.what << " shows " << shown << ", PROJ gives " << listed(check.allowed)
                              << "\n  at X " << p.inputs[0] << ", Y " << p.inputs[1] << ", Z " << p.inputs[2]
                              << ", V " << p.inputs[3] << " " << p.inputs[4] << " " << p.inputs[5];
            }
        }
    }
}

}  // namespace
}  // namespace telemetry::testing
