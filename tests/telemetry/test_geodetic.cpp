#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "fake_form.h"
#include "formats.h"
#include "telemetry.h"

namespace telemetry::testing {
namespace {

constexpr std::array<Field, 6> kInputs{Field::Label7,  Field::Label8,  Field::Label9,
                                       Field::Label12, Field::Label13, Field::Label18};

// Results in writing order, each service field followed by its copy if any.
constexpr std::array<Field, 14> kResults{
    Field::Label77, Field::Label119, Field::Label78, Field::Label127, Field::Label79,
    Field::Label128, Field::Label80, Field::Label81, Field::Label82, Field::Label131,
    Field::Label83, Field::Label132, Field::Label85, Field::Label113};

struct Shown {
    std::string B, L, H, north, east, up, speed, heading;
};

class Geodetic : public ::testing::Test {
protected:
    void convert(const std::array<std::string, 6>& inputs)
    {
        for (std::size_t i = 0; i < inputs.size(); ++i)
            form.fields[static_cast<std::size_t>(kInputs[i])] = inputs[i];
        form.clearRecords();
        XYZ_to_LBH(form);
    }
    Shown shown() const
    {
        return {form.field(Field::Label77), form.field(Field::Label78), form.field(Field::Label79),
                form.field(Field::Label80), form.field(Field::Label81), form.field(Field::Label82),
                form.field(Field::Label83), form.field(Field::Label85)};
    }
    long double number(Field f) const
    {
        const auto value = formats::parseDecimal(form.field(f));
        EXPECT_TRUE(value.has_value()) << fieldName(f) << " = " << form.field(f);
        return value.value_or(NAN);
    }
    FakeForm form;
};

struct WorkedCase {
    const char* name;
    std::array<std::string, 6> inputs;  // X, Y, Z, Vx, Vy, Vz as shown
    Shown expected;
};

class GeodeticWorked : public Geodetic, public ::testing::WithParamInterface<WorkedCase> {};

TEST_P(GeodeticWorked, ShowsTheseTexts)
{
    const WorkedCase& c = GetParam();
    convert(c.inputs);
    const Shown s = shown();
    EXPECT_EQ(s.B, c.expected.B);
    EXPECT_EQ(s.L, c.expected.L);
    EXPECT_EQ(s.H, c.expected.H);
    EXPECT_EQ(s.north, c.expected.north);
    EXPECT_EQ(s.east, c.expected.east);
    EXPECT_EQ(s.up, c.expected.up);
    EXPECT_EQ(s.speed, c.expected.speed);
    EXPECT_EQ(s.heading, c.expected.heading);

    // Fourteen writes in order, every copy equal to its source.
    std::vector<Field> order;
    for (const auto& write : form.textLog)
        order.push_back(write.field);
    EXPECT_EQ(order, std::vector<Field>(kResults.begin(), kResults.end()));
    for (const auto& [source, copy] : {std::pair{Field::Label77, Field::Label119},
                                       {Field::Label78, Field::Label127},
                                       {Field::Label79, Field::Label128},
                                       {Field::Label82, Field::Label131},
                                       {Field::Label83, Field::Label132},
                                       {Field::Label85, Field::Label113}})
        EXPECT_EQ(form.field(copy), form.field(source)) << fieldName(copy);
}

// At X 6378236, Y 0, Z 0 (B = L = 0) the local axes are the rectangular
// ones: north = Vz, east = Vy, up = Vx.
const std::string kOnEquator[3] = {"6378236", "0", "0"};
WorkedCase onEquator(const char* name, std::string vx, std::string vy, std::string vz, Shown velocities)
{
    velocities.B = "0,000000";
    velocities.L = "0,000000";
    velocities.H = "100,00";
    return {name, {kOnEquator[0], kOnEquator[1], kOnEquator[2], vx, vy, vz}, velocities};
}

INSTANTIATE_TEST_SUITE_P(
    Table, GeodeticWorked,
    ::testing::Values(
        WorkedCase{"Moscow",
                   {"2849866,67", "2196277,98", "5248950,08", "0", "0", "0"},
                   {"55,750437", "37,620000", "150,00", "0,00", "0,00", "0,00", "0,00", "0,00"}},
        WorkedCase{"NorthPole",
                   {"0", "0", "6357000", "0", "0", "0"},
                   {"90,000000", "0,000000", "248,64", "0,00", "0,00", "0,00", "0,00", "0,00"}},
        WorkedCase{"SouthPole",
                   {"0", "0", "-6357000", "0", "0", "0"},
                   {"-90,000000", "0,000000", "248,64", "0,00", "0,00", "0,00", "0,00", "0,00"}},
        onEquator("Still", "0", "0", "0", {"", "", "", "0,00", "0,00", "0,00", "0,00", "0,00"}),
        onEquator("NorthEast", "0", "3", "4", {"", "", "", "4,00", "3,00", "0,00", "5,00", "36,87"}),
        onEquator("SouthEast", "0", "3", "-4", {"", "", "", "-4,00", "3,00", "0,00", "5,00", "143,13"}),
        onEquator("SouthWest", "0", "-3", "-4", {"", "", "", "-4,00", "-3,00", "0,00", "5,00", "216,87"}),
        onEquator("NorthWest", "0", "-3", "4", {"", "", "", "4,00", "-3,00", "0,00", "5,00", "323,13"}),
        onEquator("DueEast", "0", "3", "0", {"", "", "", "0,00", "3,00", "0,00", "3,00", "90,00"}),
        onEquator("DueSouth", "0", "0", "-4", {"", "", "", "-4,00", "0,00", "0,00", "4,00", "180,00"}),
        onEquator("DueWest", "0", "-3", "0", {"", "", "", "0,00", "-3,00", "0,00", "3,00", "270,00"}),
        onEquator("DueNorth", "0", "0", "4", {"", "", "", "4,00", "0,00", "0,00", "4,00", "0,00"}),
        onEquator("Climbing", "7,5", "0", "0", {"", "", "", "0,00", "0,00", "7,50", "0,00", "0,00"})),
    [](const auto& info) { return std::string(info.param.name); });

struct LongitudeCase {
    const char* name;
    const char* X;
    const char* Y;
    const char* L;
};

class GeodeticLongitude : public Geodetic, public ::testing::WithParamInterface<LongitudeCase> {};

TEST_P(GeodeticLongitude, CountsEastwardFromZeroToFullCircle)
{
    const LongitudeCase& c = GetParam();
    convert({c.X, c.Y, "0", "0", "0", "0"});
    EXPECT_EQ(form.field(Field::Label78), c.L);
    EXPECT_EQ(form.field(Field::Label127), c.L);
}

INSTANTIATE_TEST_SUITE_P(
    Table, GeodeticLongitude,
    ::testing::Values(LongitudeCase{"FirstQuadrant", "4500000", "4500000", "45,000000"},
                      LongitudeCase{"SecondQuadrant", "-4500000", "4500000", "135,000000"},
                      LongitudeCase{"ThirdQuadrant", "-4500000", "-4500000", "225,000000"},
                      LongitudeCase{"FourthQuadrant", "4500000", "-4500000", "315,000000"},
                      LongitudeCase{"PrimeMeridian", "6378136", "0", "0,000000"},
                      LongitudeCase{"EastHalfAxis", "0", "6378136", "90,000000"},
                      LongitudeCase{"AntiMeridian", "-6378136", "0", "180,000000"},
                      LongitudeCase{"WestHalfAxis", "0", "-6378136", "270,000000"},
                      LongitudeCase{"JustWestOfPrime", "6378136", "-100", "359,999102"}),
    [](const auto& info) { return std::string(info.param.name); });

struct FailureCase {
    const char* name;
    std::array<std::string, 6> inputs;
};

class GeodeticFailure : public Geodetic, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(GeodeticFailure, WritesNothing)
{
    form.setAllFields("прежнее");
    convert(GetParam().inputs);
    EXPECT_TRUE(form.textLog.empty());
    for (const Field f : kResults)
        EXPECT_EQ(form.field(f), "прежнее") << fieldName(f);
}

const std::array<std::string, 6> kMoscow{"2849866,67", "2196277,98", "5248950,08", "1", "2", "3"};
std::array<std::string, 6> withInput(std::size_t index, std::string text)
{
    std::array<std::string, 6> inputs = kMoscow;
    inputs[index] = std::move(text);
    return inputs;
}

INSTANTIATE_TEST_SUITE_P(
    Table, GeodeticFailure,
    ::testing::Values(FailureCase{"DashX", withInput(0, "-")}, FailureCase{"DashY", withInput(1, "-")},
                      FailureCase{"DashZ", withInput(2, "-")}, FailureCase{"DashVx", withInput(3, "-")},
                      FailureCase{"DashVy", withInput(4, "-")}, FailureCase{"DashVz", withInput(5, "-")},
                      FailureCase{"EmptyX", withInput(0, "")},
                      FailureCase{"DotSeparator", withInput(2, "5248950.08")},
                      FailureCase{"EarthCentre", {"0", "0", "0", "0", "0", "0"}},
                      // arcsin of more than 1 near the centre
                      FailureCase{"NearCentre", {"1000", "0", "1000", "0", "0", "0"}},
                      // the latitude iteration never settles this close in
                      FailureCase{"Unsettled", {"25000", "0", "10000", "0", "0", "0"}},
                      // squares overflow even the extended range
                      FailureCase{"Overflow", {"1E2500", "0", "0", "0", "0", "0"}},
                      FailureCase{"HugeVelocity", withInput(4, "1E4900")}),
    [](const auto& info) { return std::string(info.param.name); });

// Over random positions and velocities the local rotation keeps the length
// of the velocity, and the position agrees with an exact geodetic solution
// within the method's documented error.
TEST_F(Geodetic, RotationKeepsSpeedAndPositionIsClose)
{
    std::mt19937 random(20261210);
    std::uniform_int_distribution<std::int32_t> coordinate(-700000000, 700000000);
    std::uniform_int_distribution<std::int16_t> velocity(INT16_MIN, INT16_MAX);
    const long double a = 6378136, f = 1 / 298.25784L, e2 = 2 * f - f * f;
    const long double degrees = 180 / std::numbers::pi_v<long double>;

    int checked = 0, nearSurface = 0;
    while (checked < 2000) {
        const long double X = coordinate(random) / 100.0L, Y = coordinate(random) / 100.0L,
                          Z = coordinate(random) / 100.0L;
        const long double r = std::sqrt(X * X + Y * Y + Z * Z);
        if (r < 1000000)
            continue;  // the method is meant for points well away from the centre
        const long double V[3] = {velocity(random) / 100.0L, velocity(random) / 100.0L,
                                  velocity(random) / 100.0L};
        convert({formats::general(X), formats::general(Y), formats::general(Z), formats::general(V[0]),
                 formats::general(V[1]), formats::general(V[2])});
        ASSERT_EQ(form.textLog.size(), 14u) << X << " " << Y << " " << Z;
        ++checked;

        const long double north = number(Field::Label80), east = number(Field::Label81),
                          up = number(Field::Label82);
        const long double speed = std::sqrt(V[0] * V[0] + V[1] * V[1] + V[2] * V[2]);
        // each shown component, and the speed, carries up to 0,005 of rounding
        EXPECT_NEAR(std::sqrt(north * north + east * east + up * up), speed, 0.009L);
        EXPECT_NEAR(number(Field::Label83), std::sqrt(north * north + east * east), 0.013L);
        const long double heading = number(Field::Label85);
        EXPECT_GE(heading, 0);
        EXPECT_LE(heading, 360);

        long double L = std::atan2(Y, X) * degrees;
        if (L < 0)
            L += 360;
        EXPECT_NEAR(number(Field::Label78), L, 0.0000011L);

        // Exact latitude by fixed-point iteration on tan B.
        const long double D = std::sqrt(X * X + Y * Y);
        if (std::fabs(r - a) > 50000 || D < 1000)
            continue;
        ++nearSurface;
        long double B = std::atan2(Z, D * (1 - e2));
        for (int i = 0; i < 50; ++i) {
            const long double N = a / std::sqrt(1 - e2 * std::sin(B) * std::sin(B));
            B = std::atan2(Z + e2 * N * std::sin(B), D);
        }
        const long double N = a / std::sqrt(1 - e2 * std::sin(B) * std::sin(B));
        const long double H = D * std::cos(B) + Z * std::sin(B) - a * a / N;
        // One pass only (and so a coarser B) within 0.86 degrees of the
        // equator or a pole, two passes elsewhere.
        const long double c = std::asin(Z / r) * degrees;
        const bool onePass = std::fabs(c) < 0.87L || std::fabs(c) > 89.13L;
        EXPECT_NEAR(number(Field::Label77), B * degrees, onePass ? 0.0065L : 0.0007L);
        EXPECT_NEAR(number(Field::Label79), H, 0.05L);
    }
    EXPECT_GT(nearSurface, 0);
}

}  // namespace
}  // namespace telemetry::testing
