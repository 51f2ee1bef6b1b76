// The robot's other sensors, computed from the pose on demand: eight proximity sensors and eight
// light sensors around the body, and a time-of-flight sensor looking straight ahead.
//
// Proximity readings invert the robot's calibration table (reading -> distance) piecewise
// linearly, so the table turns a reading back into the distance from the sensor to the wall it
// faces. Beyond the table's farthest distance the reading stays at the table's smallest reading.
#pragma once

#include <array>
#include <vector>

#include "sim/world_file.hpp"

namespace sim {

// Direction of sensor i relative to the heading [rad], counterclockwise: ps0 and ps7 look
// ahead, slightly right and left; ps2 and ps5 to the sides; ps3 and ps4 backwards.
extern const std::array<double, 8> kSensorAngles;

// The calibration table: readings rising, distances [m] falling.
struct CalibrationPoint {
    double reading;
    double distance_m;
};
extern const std::array<CalibrationPoint, 10> kProximityTable;

// Raw proximity reading for a wall `distance_m` away (>= 0; infinity when none).
double proximity_reading(double distance_m);

// Distance [m] from (x, z) along the unit direction (dx, dz) to the first wall hit, or
// `max_m` when none is hit within it.
double ray_to_wall(const std::vector<WallDesc>& walls, double x_m, double z_m, double dx, double dz,
                   double max_m);

// Raw light reading: 4095 in darkness, less as light rises, never below 0.
double light_reading(const WorldDesc& world, double x_m, double z_m, double dx, double dz);

// Height [m] of the proximity, light and time-of-flight sensors above the floor.
constexpr double kSensorHeight = 0.03;

}  // namespace sim
