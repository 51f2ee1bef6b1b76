#include "sim/range_sensors.hpp"

#include <algorithm>
#include <cmath>

namespace sim {
const std::array<double, 8> kSensorAngles = {-17 * kDegToRad,  -49 * kDegToRad, -90 * kDegToRad,
                                             -150 * kDegToRad, 150 * kDegToRad, 90 * kDegToRad,
                                             49 * kDegToRad,   17 * kDegToRad};

const std::array<CalibrationPoint, 10> kProximityTable = {{{67.19, 0.07},
                                                           {104.09, 0.06},
                                                           {120.0, 0.05},
                                                           {158.03, 0.04},
                                                           {234.93, 0.03},
                                                           {383.84, 0.02},
                                                           {601.46, 0.015},
                                                           {1465.63, 0.01},
                                                           {2133.33, 0.005},
                                                           {4095.0, 0.0}}};

double proximity_reading(double d) {
    if (!(d < kProximityTable[0].distance_m)) {
        return kProximityTable[0].reading;
    }
    if (d <= 0) {
        return kProximityTable[9].reading;
    }
    for (std::size_t k = 0; k + 1 < kProximityTable.size(); ++k) {
        const CalibrationPoint& a = kProximityTable[k];
        const CalibrationPoint& b = kProximityTable[k + 1];
        if (d <= a.distance_m && d >= b.distance_m) {
            return a.reading +
                   (d - a.distance_m) * (b.reading - a.reading) / (b.distance_m - a.distance_m);
        }
    }
    return kProximityTable[9].reading;
}

double ray_to_wall(const std::vector<WallDesc>& walls, double x, double z, double dx, double dz,
                   double max_m) {
    double best = max_m;
    for (const WallDesc& w : walls) {
        // Solve p + t d = a + s (b - a) for t >= 0, 0 <= s <= 1.
        const double ex = w.x1_m - w.x0_m;
        const double ez = w.z1_m - w.z0_m;
        const double den = dx * ez - dz * ex;
        if (std::fabs(den) < 1e-12) {
            continue;  // parallel
        }
        const double ax = w.x0_m - x;
        const double az = w.z0_m - z;
        const double t = (ax * ez - az * ex) / den;
        const double s = (ax * dz - az * dx) / den;
        if (t >= 0 && s >= 0 && s <= 1) {
            best = std::min(best, t);
        }
    }
    return best;
}

double light_reading(const WorldDesc& world, double x, double z, double dx, double dz) {
    // Irradiance in reading counts: ambient, plus each source's intensity over the squared
    // distance, weighted by the cosine between the sensor's axis and the source (Lambert).
    double e = world.ambient_light;
    for (const LightDesc& l : world.lights) {
        const double lx = l.x_m - x;
        const double ly = l.height_m - kSensorHeight;
        const double lz = l.z_m - z;
        const double d2 = lx * lx + ly * ly + lz * lz;
        if (d2 <= 1e-12) {
            continue;
        }
        const double cosine = (lx * dx + lz * dz) / std::sqrt(d2);
        if (cosine > 0) {
            e += l.intensity * cosine / d2;
        }
    }
    return std::max(0.0, 4095.0 - e);
}

}  // namespace sim
