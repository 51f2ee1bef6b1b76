// v = r (wR + wL) / 2 and w = r (wR - wL) / L. Over a step the centre turns by a = w dt and
// moves along the chord of its arc: length v dt * sin(a / 2) / (a / 2), in the direction of
// the mean heading h + a / 2. This single formula is exact for arcs and reduces smoothly to a
// straight line as a -> 0, so there is no special case with its own rounding.
#include "sim/kinematics.hpp"

#include <cmath>

namespace sim {

Pose2 advance_pose(const Pose2& pose, double omega_left, double omega_right,
                   const DriveGeometry& drive, double dt) {
    const double v = drive.wheel_radius_m * (omega_right + omega_left) / 2;
    const double w = drive.wheel_radius_m * (omega_right - omega_left) / drive.axle_length_m;
    const double half = 0.5 * w * dt;
    const double sinc = std::fabs(half) < 1e-9 ? 1.0 - half * half / 6 : std::sin(half) / half;
    const double chord = v * dt * sinc;
    const double mid = pose.heading_rad + half;
    Pose2 out;
    out.x_m = pose.x_m + chord * std::cos(mid);
    out.z_m = pose.z_m - chord * std::sin(mid);
    // Kept within [-pi, pi] so that long runs keep full precision in sin and cos.
    out.heading_rad = std::remainder(pose.heading_rad + w * dt, 6.283185307179586);
    return out;
}

}  // namespace sim
