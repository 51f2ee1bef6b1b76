// Differential drive, integrated exactly: with both wheel speeds constant over a step the
// robot's centre moves on a circular arc (or a straight line), so one closed-form update per
// step is exact for any step length.
#pragma once

#include "sim/world_file.hpp"

namespace sim {

struct DriveGeometry {
    double wheel_radius_m = 0.0205;
    double axle_length_m = 0.052;
};

// The pose after `dt_s` seconds with the left and right wheels turning at `omega_left` and
// `omega_right` [rad/s] (positive drives forward). Heading grows when the right wheel is the
// faster, i.e. the robot turns left (counterclockwise seen from above).
Pose2 advance_pose(const Pose2& pose, double omega_left_rad_s, double omega_right_rad_s,
                   const DriveGeometry& drive, double dt_s);

}  // namespace sim
