#include "aux_sensors/aux_sensors.hpp"

const CalibrationTable proximity_table = {
    {67.19, 0.07},  {104.09, 0.06},  {120.0, 0.05},   {158.03, 0.04},   {234.93, 0.03},
    {383.84, 0.02}, {601.46, 0.015}, {1465.63, 0.01}, {2133.33, 0.005}, {4095.0, 0.0},
};

DeviceTag ps[kAuxSensorCount] = {};
DeviceTag ls[kAuxSensorCount] = {};
DeviceTag tof = 0;

namespace {

constexpr double kLightFullScale = 4095.0;  // largest raw light reading
constexpr double kOutsideTable = -1.0;

bool restart_pending = true;  // the trigger must take a new start time
double start_time = 0.0;      // [s] robot time of the trigger's last restart

}  // namespace

void init_aux_sensors(int period) {
    char ps_name[] = "ps0";
    char ls_name[] = "ls0";
    for (int i = 0; i < kAuxSensorCount; ++i) {
        ps_name[2] = static_cast<char>('0' + i);
        ls_name[2] = static_cast<char>('0' + i);
        ps[i] = wb_robot_get_device(ps_name);
        wb_distance_sensor_enable(ps[i], period);
        ls[i] = wb_robot_get_device(ls_name);
        wb_light_sensor_enable(ls[i], period);
    }
    tof = wb_robot_get_device("tof");
    wb_distance_sensor_enable(tof, period);
}

double interpolate_table(const CalibrationTable table, double v) {
    for (int k = 0; k + 1 < kTablePoints; ++k) {
        const double r0 = table[k][0];
        const double r1 = table[k + 1][0];
        if (r0 <= v && v <= r1) {
            if (r1 == r0) {
                continue;  // zero width: no slope to follow
            }
            const double d0 = table[k][1];
            const double d1 = table[k + 1][1];
            return ((v - r0) * (d1 - d0)) / (r1 - r0) + d0;
        }
    }
    return kOutsideTable;
}

void read_proximity_distances(double out[kAuxSensorCount]) {
    for (int i = 0; i < kAuxSensorCount; ++i) {
        out[i] = interpolate_table(proximity_table, wb_distance_sensor_get_value(ps[i]));
    }
}

double read_tof() {
    return wb_distance_sensor_get_value(tof);
}

double invert_light_value(double v) {
    const double inverted = kLightFullScale - v;
    // Only a negative difference is clipped; NaN fails the test and passes through.
    if (inverted < 0.0) {
        return 0.0;
    }
    return inverted;
}

void read_light_values(double out[kAuxSensorCount]) {
    for (int i = 0; i < kAuxSensorCount; ++i) {
        out[i] = invert_light_value(wb_light_sensor_get_value(ls[i]));
    }
}

bool period_elapsed(double period) {
    if (restart_pending) {
        start_time = wb_robot_get_time();
        restart_pending = false;
    }
    const double now = wb_robot_get_time();
    if (now - start_time > period) {
        restart_pending = true;
        return true;
    }
    return false;
}

void reset_aux_sensors() {
    for (int i = 0; i < kAuxSensorCount; ++i) {
        ps[i] = 0;
        ls[i] = 0;
    }
    tof = 0;
    restart_pending = true;
    start_time = 0.0;
}
