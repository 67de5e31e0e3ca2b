// Earth-centred X, Y, Z and Vx, Vy, Vz of the navigation solution, as the
// service page shows them, to geodetic B, L, H on the PZ-90 ellipsoid with
// local north/east/up velocities, ground speed and heading. Latitude and
// height follow the rectangular-to-geodetic method of GOST R 51794.
//
// Everything is computed in long double, which on x86-64 Linux (GCC,
// Clang) is the 80-bit extended format with a 64-bit significand, the
// precision the shown digits were settled against. Where long double is
// plain double (MSVC) the significand loses 11 bits, about three decimal
// digits: a result lying within a few parts in 1e16 of a rounding half
// of its last shown digit may then show the neighbouring value.

#include <cmath>
#include <numbers>
#include <optional>

#include "common/formats.h"
#include "telemetry/presentation.h"
#include "telemetry/shown_fields.h"
#include "telemetry/telemetry.h"

namespace telemetry {
namespace {

using real = long double;

constexpr real kPi = std::numbers::pi_v<real>;
constexpr real kDegreesPerRadian = 180 / kPi;

// PZ-90 ellipsoid.
constexpr real a = 6378136;
constexpr real f = 1 / 298.25784L;
constexpr real e2 = 2 * f - f * f;  // first eccentricity squared

// The latitude iteration stops once a pass moves the correction by less
// than 0.0001 arc-second (about 3 mm on the ground). B is taken as c + s2
// of that last pass, well within a millimetre of the exact geodetic
// latitude, far finer than the 0,000001° the field shows.
// A stop at 0.0001 radian instead (about 20 arc-seconds) left B tens of
// metres off, and hundreds near the equator and the poles, where the first
// pass alone met it.
constexpr real kTolerance = 0.0001L / 3600 * kPi / 180;
// Near the Earth's surface the iteration ends after three or four passes.
// Within some tens of kilometres of the centre it wanders and may never
// settle; the bound (about a millisecond of work) keeps a corrupt position
// from hanging the window, and such a point gets no geodetic values at all.
constexpr int kMaxPasses = 10000;

// NaN outside [-1, 1], like the formula it mirrors; the caller rejects it.
real arcsin(real x) { return std::atan(x / std::sqrt(1 - x * x)); }

struct Geodetic {
    real B = 0, L = 0, H = 0;  // radians, radians, metres
    real north = 0, east = 0, up = 0, speed = 0;
    real heading = 0;  // degrees clockwise from north
};

struct Longitude {
    real L = 0;  // radians
    real sinL = 0, cosL = 1;
};

Longitude fromAngle(real L) { return {L, std::sin(L), std::cos(L)}; }

// 0 <= L < 2*pi, counted eastward. On the half-axes (X or Y exactly 0)
// the quadrant rules have no row, so those get their true longitudes, with
// their exact sine and cosine: the sine of the rounded pi leaves some 1e-20,
// which would turn a velocity due north there into a whisker west of it and
// the heading into 360.
Longitude longitude(real X, real Y, real D)
{
    if (Y == 0)
        return X > 0 ? Longitude{0, 0, 1} : Longitude{kPi, 0, -1};
    if (X == 0)
        return Y > 0 ? Longitude{kPi / 2, 1, 0} : Longitude{3 * kPi / 2, -1, 0};
    const real La = arcsin(std::fabs(Y) / D);
    if (Y > 0)
        return fromAngle(X > 0 ? La : kPi - La);
    return fromAngle(X < 0 ? kPi + La : 2 * kPi - La);
}

// Heading in degrees, each half-axis taken by exactly one rule.
real heading(real N, real E)
{
    if (E >= 0 && N > 0)
        return std::atan(E / N) * kDegreesPerRadian;
    if (E > 0 && N <= 0)
        return 90 + std::atan(std::fabs(N / E)) * kDegreesPerRadian;
    if (E <= 0 && N < 0)
        return 180 + std::atan(std::fabs(E / N)) * kDegreesPerRadian;
    if (E < 0 && N >= 0)
        return 270 + std::atan(std::fabs(N / E)) * kDegreesPerRadian;
    return 0;  // standing still
}

std::optional<Geodetic> convert(real X, real Y, real Z, real Vx, real Vy, real Vz)
{
    Geodetic g;
    const real D = std::sqrt(X * X + Y * Y);
    if (D == 0 && Z == 0)
        return std::nullopt;  // the Earth's centre has no latitude
    Longitude lon;            // 0 on the polar axis
    if (D > 0)
        lon = longitude(X, Y, D);
    g.L = lon.L;

    if (Z == 0) {
        g.B = 0;
        g.H = D - a;
    } else {
        // The poles need no case of their own: there c is +-pi/2 and the
        // first pass already meets the tolerance.
        const real r = std::sqrt(X * X + Y * Y + Z * Z);
        const real c = arcsin(Z / r);
        const real p = e2 * a / (2 * r);
        real s1 = 0, b = 0, d = 1000;
        int passes = 0;
        while (d >= kTolerance) {
            if (++passes > kMaxPasses)
                return std::nullopt;
            b = c + s1;
            const real sb = std::sin(b);
            const real s2 = arcsin(p * std::sin(2 * b) / std::sqrt(1 - e2 * sb * sb));
            if (std::isnan(s2))
                return std::nullopt;  // arcsin of more than 1: too close to the centre
            d = std::fabs(s2 - s1);
            s1 = s2;
        }
        // c + s2 of the last pass: the b that pass started from lags it by up
        // to the tolerance, enough to tip a last shown digit that lies within
        // a millimetre of a rounding half (about one point in 140).
        g.B = c + s1;
        const real sB = std::sin(g.B);
        g.H = D * std::cos(g.B) + Z * sB - a * std::sqrt(1 - e2 * sB * sB);
    }

    const real sB = std::sin(g.B), cB = std::cos(g.B);
    const real sL = lon.sinL, cL = lon.cosL;
    g.north = -sB * cL * Vx - sB * sL * Vy + cB * Vz;
    g.east = -sL * Vx + cL * Vy;
    g.up = cB * cL * Vx + cB * sL * Vy + sB * Vz;
    g.speed = std::sqrt(g.north * g.north + g.east * g.east);
    g.heading = heading(g.north, g.east);

    for (const real value : {g.B, g.L, g.H, g.north, g.east, g.up, g.speed, g.heading})
        if (!std::isfinite(value))
            return std::nullopt;
    return g;
}

}  // namespace

Presentation describeGeodetic(long double X, long double Y, long double Z, long double Vx, long double Vy,
                              long double Vz)
{
    // Every failure is found before the first field is described, so a
    // failed conversion shows nothing and leaves all fourteen fields as
    // they were.
    Presentation shown;
    const std::optional<Geodetic> g = convert(X, Y, Z, Vx, Vy, Vz);
    if (!g)
        return shown;
    auto add = [&shown](Field field, real value, int digits) {
        shown.fields.push_back(shown::number(field, formats::fixed(value, 10, digits)));
    };
    add(Field::Label77, g->B * kDegreesPerRadian, 6);
    add(Field::Label78, g->L * kDegreesPerRadian, 6);
    add(Field::Label79, g->H, 2);
    add(Field::Label80, g->north, 2);
    add(Field::Label81, g->east, 2);
    add(Field::Label82, g->up, 2);
    add(Field::Label83, g->speed, 2);
    add(Field::Label85, g->heading, 2);
    return shown;
}

void XYZ_to_LBH(FormView& form)
{
    // Reads back what the service page shows, so the result matches the
    // displayed numbers; "-" from the watchdog is not a number.
    const auto X = formats::parseDecimal(form.text(Field::Label7));
    const auto Y = formats::parseDecimal(form.text(Field::Label8));
    const auto Z = formats::parseDecimal(form.text(Field::Label9));
    const auto Vx = formats::parseDecimal(form.text(Field::Label12));
    const auto Vy = formats::parseDecimal(form.text(Field::Label13));
    const auto Vz = formats::parseDecimal(form.text(Field::Label18));
    if (!X || !Y || !Z || !Vx || !Vy || !Vz)
        return;
    show(describeGeodetic(*X, *Y, *Z, *Vx, *Vy, *Vz), form);
}

}  // namespace telemetry
