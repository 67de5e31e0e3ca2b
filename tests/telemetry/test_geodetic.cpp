#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "common/formats.h"
#include "support/fake_form.h"
#include "telemetry/telemetry.h"

namespace telemetry::testing {
namespace {

constexpr std::array<Field, 6> kInputs{Field::Label7,  Field::Label8,  Field::Label9,
                                       Field::Label12, Field::Label13, Field::Label18};

// Results in writing order, each service field followed by its copy if any.
constexpr std::array<Field, 14> kResults{Field::Label77, Field::Label119, Field::Label78, Field::Label127,
                                         Field::Label79, Field::Label128, Field::Label80, Field::Label81,
                                         Field::Label82, Field::Label131, Field::Label83, Field::Label132,
                                         Field::Label85, Field::Label113};

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
        // 55,75° N 37,62° E 150 m to the centimetre
        WorkedCase{"Moscow",
                   {"2849866,67", "2196277,98", "5248950,08", "0", "0", "0"},
                   {"55,750000", "37,620000", "150,00", "0,00", "0,00", "0,00", "0,00", "0,00"}},
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
    [](const auto& test) { return std::string(test.param.name); });

// Sites in every quarter of the globe, beside the equator and the poles,
// from the Dead Sea shore to 40 km up. Inputs are the centimetre-rounded
// rectangular coordinates of each site; every expected text is rounded from
// PROJ's answer for those inputs, not from this code:
//   B, L, H:   cct -I -d 10 +proj=cart +a=6378136 +rf=298.25784
//   north, east, up: cct -d 10 +proj=topocentric +a=6378136 +rf=298.25784
//              +X_0=X +Y_0=Y +Z_0=Z, fed X+Vx Y+Vy Z+Vz
//   speed and heading: hypot and atan2 of that east and north.
// Every value lies at least 0.03 of a last shown digit away from a
// rounding half, so the texts do not hang on the last bits.
INSTANTIATE_TEST_SUITE_P(
    Reference, GeodeticWorked,
    ::testing::Values(
        WorkedCase{"Hilo",
                   {"-5447165,24", "-2530801,41", "2138547,36", "3,5", "-2,5", "1,5"},
                   {"19,720000", "204,920000", "12,00", "2,13", "3,74", "-1,49", "4,30", "60,38"}},
        WorkedCase{"Greenland",
                   {"1707018,69", "-2161460,56", "5735735,41", "-7,5", "12,25", "-0,5"},
                   {"64,500000", "308,300000", "2000,00", "12,66", "1,71", "-6,59", "12,77", "7,68"}},
        WorkedCase{"Kampala",
                   {"5375404,7", "3435071,52", "33178,36", "1,25", "4,5", "-5,5"},
                   {"0,300000", "32,580000", "1190,00", "-5,52", "3,12", "3,45", "6,34", "150,53"}},
        WorkedCase{"NorthPole89",
                   {"27923,18", "48364,36", "6356518,68", "-2", "-3", "0,75"},
                   {"89,500000", "59,999997", "11,00", "3,60", "0,23", "0,72", "3,61", "3,68"}},
        WorkedCase{"DeadSea",
                   {"4431141,34", "3160702,4", "3313077,54", "0,5", "-0,75", "0,25"},
                   {"31,500000", "35,500000", "-400,00", "0,23", "-0,90", "0,11", "0,93", "284,20"}},
        WorkedCase{"BuenosAires",
                   {"2755265,6", "-4475399,29", "-3601780,21", "-10", "8", "-6,5"},
                   {"-34,603700", "301,618400", "25,00", "-12,20", "-4,32", "-6,23", "12,94", "199,51"}},
        WorkedCase{"McMurdo",
                   {"-1310453,31", "310502,62", "-6213451,85", "4", "-9,5", "2,5"},
                   {"-77,850000", "166,670000", "20,00", "-5,42", "8,32", "-3,72", "9,93", "123,08"}},
        WorkedCase{"SouthPole",
                   {"-846,78", "729,12", "-6359586,26", "1,5", "-2", "5"},
                   {"-89,990000", "139,269901", "2835,00", "-2,44", "0,54", "-5,00", "2,50", "167,60"}},
        WorkedCase{"Quito",
                   {"1272156,3", "-6252847,98", "-22124,76", "-3", "7", "-1,5"},
                   {"-0,200000", "281,500000", "2850,00", "-1,53", "-1,54", "-7,45", "2,17", "225,34"}},
        WorkedCase{"Sodankyla40km",
                   {"2213872,7", "1110075,11", "5901333,21", "25,5", "-18,25", "4"},
                   {"67,370000", "26,630000", "40000,00", "-11,95", "-27,74", "9,32", "30,21", "246,70"}},
        WorkedCase{"Equator20km",
                   {"-1526168,92", "6213446,85", "-5546,17", "-30", "12,5", "0,75"},
                   {"-0,050000", "103,800000", "20000,00", "0,77", "26,15", "19,29", "26,16", "88,32"}},
        WorkedCase{"Boulder",
                   {"-1288916,17", "-4721195,05", "4079048,79", "2", "2", "2"},
                   {"40,000000", "254,730000", "1655,00", "3,11", "1,40", "-0,60", "3,41", "24,27"}},
        WorkedCase{"Perth",
                   {"-2362760,98", "4874572,11", "-3355743,69", "-6,5", "-1,5", "3,75"},
                   {"-31,950000", "115,860000", "30,00", "3,97", "6,50", "-0,72", "7,62", "58,61"}},
        WorkedCase{"NearSouthPole",
                   {"-27935,35", "-48385,44", "-6359307,58", "1", "-1", "-0,5"},
                   {"-89,500000", "239,999997", "2800,00", "0,36", "1,37", "0,50", "1,41", "75,17"}}),
    [](const auto& test) { return std::string(test.param.name); });

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
    [](const auto& test) { return std::string(test.param.name); });

// On the half-axes (longitude exactly 0°, 90°, 180° or 270°) the local
// axes are exact: a velocity in the meridian plane has no east part at
// all, and one along the parallel no north part, whichever hemisphere.
struct HalfAxisCase {
    const char* name;
    std::array<std::string, 3> position;  // X, Y, Z
    std::array<std::string, 3> northward, eastward;
};

class GeodeticHalfAxis : public Geodetic, public ::testing::WithParamInterface<HalfAxisCase> {};

TEST_P(GeodeticHalfAxis, DueNorthAndDueEastAreExact)
{
    const HalfAxisCase& c = GetParam();
    const auto& [X, Y, Z] = c.position;

    const auto& [nx, ny, nz] = c.northward;
    convert({X, Y, Z, nx, ny, nz});
    EXPECT_EQ(form.field(Field::Label81), "0,00") << "east";
    EXPECT_EQ(form.field(Field::Label85), "0,00") << "heading";
    EXPECT_GT(number(Field::Label80), 4) << "north";
    EXPECT_EQ(form.field(Field::Label83), form.field(Field::Label80)) << "speed";

    const auto& [ex, ey, ez] = c.eastward;
    convert({X, Y, Z, ex, ey, ez});
    EXPECT_EQ(form.field(Field::Label80), "0,00") << "north";
    EXPECT_EQ(form.field(Field::Label81), "3,00") << "east";
    EXPECT_EQ(form.field(Field::Label83), "3,00") << "speed";
    EXPECT_EQ(form.field(Field::Label85), "90,00") << "heading";
}

// Positions at about 45° N, on the equator and at about 45° S; northward
// is the local north (up to the few hundredths of a degree between the
// geocentric and the geodetic latitude, which only tilt it in the meridian
// plane), eastward the local east.
INSTANTIATE_TEST_SUITE_P(
    Table, GeodeticHalfAxis,
    ::testing::Values(
        HalfAxisCase{"PlusXNorth", {"4500000", "0", "4500000"}, {"-3", "0", "3"}, {"0", "3", "0"}},
        HalfAxisCase{"PlusXEquator", {"6378136", "0", "0"}, {"0", "0", "4,5"}, {"0", "3", "0"}},
        HalfAxisCase{"PlusXSouth", {"4500000", "0", "-4500000"}, {"3", "0", "3"}, {"0", "3", "0"}},
        HalfAxisCase{"PlusYNorth", {"0", "4500000", "4500000"}, {"0", "-3", "3"}, {"-3", "0", "0"}},
        HalfAxisCase{"PlusYEquator", {"0", "6378136", "0"}, {"0", "0", "4,5"}, {"-3", "0", "0"}},
        HalfAxisCase{"PlusYSouth", {"0", "4500000", "-4500000"}, {"0", "3", "3"}, {"-3", "0", "0"}},
        HalfAxisCase{"MinusXNorth", {"-4500000", "0", "4500000"}, {"3", "0", "3"}, {"0", "-3", "0"}},
        HalfAxisCase{"MinusXEquator", {"-6378136", "0", "0"}, {"0", "0", "4,5"}, {"0", "-3", "0"}},
        HalfAxisCase{"MinusXSouth", {"-4500000", "0", "-4500000"}, {"-3", "0", "3"}, {"0", "-3", "0"}},
        HalfAxisCase{"MinusYNorth", {"0", "-4500000", "4500000"}, {"0", "3", "3"}, {"3", "0", "0"}},
        HalfAxisCase{"MinusYEquator", {"0", "-6378136", "0"}, {"0", "0", "4,5"}, {"3", "0", "0"}},
        HalfAxisCase{"MinusYSouth", {"0", "-4500000", "-4500000"}, {"0", "-3", "3"}, {"3", "0", "0"}}),
    [](const auto& test) { return std::string(test.param.name); });

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
    [](const auto& test) { return std::string(test.param.name); });

// Over random positions and velocities the local rotation keeps the length
// of the velocity, and the position agrees with an exact geodetic solution
// to the shown digits.
TEST_F(Geodetic, RotationKeepsSpeedAndPositionIsClose)
{
    std::mt19937 random(20261210);
    std::uniform_int_distribution<std::int32_t> coordinate(-700000000, 700000000);
    std::uniform_int_distribution<std::int16_t> velocity(INT16_MIN, INT16_MAX);
    const long double a = 6378136, f = 1 / 298.25784L, e2 = 2 * f - f * f;
    const long double degrees = 180 / std::numbers::pi_v<long double>;
    // The reference is worked out in long double; GoogleTest compares in double.
    const auto d = [](long double value) { return static_cast<double>(value); };

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
        EXPECT_NEAR(d(std::sqrt(north * north + east * east + up * up)), d(speed), d(0.009L));
        EXPECT_NEAR(d(number(Field::Label83)), d(std::sqrt(north * north + east * east)), d(0.013L));
        const long double heading = number(Field::Label85);
        EXPECT_GE(heading, 0);
        EXPECT_LE(heading, 360);

        long double L = std::atan2(Y, X) * degrees;
        if (L < 0)
            L += 360;
        EXPECT_NEAR(d(number(Field::Label78)), d(L), d(0.0000011L));

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
        // Half the last shown digit, and the iteration's stop at 0.0001
        // arc-second (some 3 mm).
        EXPECT_NEAR(d(number(Field::Label77)), d(B * degrees), d(0.0000005L + 0.0001L / 3600));
        EXPECT_NEAR(d(number(Field::Label79)), d(H), d(0.005L + 0.0001L));
    }
    EXPECT_GT(nearSurface, 0);
}

}  // namespace
}  // namespace telemetry::testing
