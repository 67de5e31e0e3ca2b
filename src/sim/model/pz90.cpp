#include "sim/model/pz90.h"

#include <cmath>
#include <numbers>

namespace sim {

Ecef geodeticToEcef(double latDeg, double lonDeg, double height)
{
    const double b = latDeg * std::numbers::pi / 180.0;
    const double l = lonDeg * std::numbers::pi / 180.0;
    const double sinB = std::sin(b);
    // Radius of curvature in the prime vertical.
    const double n = kPz90A / std::sqrt(1.0 - kPz90E2 * sinB * sinB);
    return {(n + height) * std::cos(b) * std::cos(l), (n + height) * std::cos(b) * std::sin(l),
            (n * (1.0 - kPz90E2) + height) * sinB};
}

}  // namespace sim
