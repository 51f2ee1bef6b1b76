// The robot's other sensors and a timer: eight proximity sensors read as distances through a
// calibration table, eight light sensors read so that more light gives a larger value, a
// time-of-flight distance sensor, and a trigger on elapsed robot time. The control cycle does
// not use them; they stand ready for a controller that does.
#pragma once

#include "robot_api/robot_api.h"

constexpr int kAuxSensorCount = 8;  // proximity sensors, and light sensors
constexpr int kTablePoints = 10;    // points of a calibration table

// A calibration table: kTablePoints pairs {raw reading, distance [m]}, readings strictly
// rising.
using CalibrationTable = double[kTablePoints][2];

// Proximity sensors: raw reading -> distance [m], readings rising, distances falling.
extern const CalibrationTable proximity_table;

// File-scope tags, set by init_aux_sensors.
extern DeviceTag ps[kAuxSensorCount];  // "ps0" .. "ps7"
extern DeviceTag ls[kAuxSensorCount];  // "ls0" .. "ls7"
extern DeviceTag tof;                  // "tof"

// Looks up and enables the sensors, sampling every `period` [ms], in the order ps0, ls0, ps1,
// ls1, ... ps7, ls7, then tof.
void init_aux_sensors(int period);

// Piecewise-linear look-up of `v` in `table`. The segments are tried from the lowest reading
// up; the first one with reading[k] <= v <= reading[k+1] gives
//   ((v - reading[k]) * (distance[k+1] - distance[k])) / (reading[k+1] - reading[k])
//   + distance[k],
// evaluated in exactly that order (grouping otherwise changes the last bits). A v on an inner
// point thus falls in the lower segment and yields that point's distance. Returns -1.0 when no
// segment holds v (below the first reading, above the last, infinite or NaN).
// A segment of zero width (two equal neighbouring readings) is skipped instead of dividing by
// zero: such a v is looked up in the next segment, or yields -1.0 if there is none.
double interpolate_table(const CalibrationTable table, double v);

// out[i] = the distance [m] of proximity sensor i through proximity_table (-1.0 when the
// reading lies outside the table).
void read_proximity_distances(double out[kAuxSensorCount]);

// The time-of-flight sensor's raw reading.
double read_tof();

// 4095 - v, or 0.0 when that difference is negative: NaN stays NaN, +inf gives 0.0 and -inf
// gives +inf.
double invert_light_value(double v);

// out[i] = invert_light_value(reading of light sensor i).
void read_light_values(double out[kAuxSensorCount]);

// True once more than `period` [s] of robot time has passed since the trigger last restarted;
// the trigger restarts on its first call and on the call after each true result (that call
// reads the time twice and returns false for any period >= 0). A negative period is true on
// every call; a NaN period is never true. Called once per step with period 0 it alternates
// false, true, false, true, ...
bool period_elapsed(double period);

// Forgets every tag and restarts the trigger (for tests).
void reset_aux_sensors();
