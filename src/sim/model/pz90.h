// Geodetic position on the PZ-90 ellipsoid to Earth-centred rectangular
// coordinates, the frame the radiosonde's navigation receiver reports in.
#pragma once

namespace sim {

inline constexpr double kPz90A = 6378136.0;                 // semi-major axis, m
inline constexpr double kPz90F = 1.0 / 298.25784;           // flattening
inline constexpr double kPz90E2 = kPz90F * (2.0 - kPz90F);  // first eccentricity squared

struct Ecef {
    double x, y, z;  // metres
};

// Latitude and longitude in degrees, height above the ellipsoid in metres.
Ecef geodeticToEcef(double latDeg, double lonDeg, double height);

}  // namespace sim
