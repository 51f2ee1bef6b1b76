#include "controller/devices.hpp"

#include <cstdio>
#include <limits>

DeviceTag left_motor = 0;
DeviceTag right_motor = 0;
DeviceTag camera = 0;
DeviceTag display = 0;
DeviceTag gps = 0;
uint16_t image_width = 0;
uint16_t image_height = 0;

void init_motors() {
    left_motor = wb_robot_get_device("left wheel motor");
    right_motor = wb_robot_get_device("right wheel motor");
    // An infinite target position leaves the motors under pure speed control.
    wb_motor_set_position(left_motor, std::numeric_limits<double>::infinity());
    wb_motor_set_position(right_motor, std::numeric_limits<double>::infinity());
    wb_motor_set_velocity(left_motor, 0.0);
    wb_motor_set_velocity(right_motor, 0.0);
}

void init_camera() {
    camera = wb_robot_get_device("camera");
    wb_camera_enable(camera, TIME_STEP);
    image_width = static_cast<uint16_t>(wb_camera_get_width(camera));
    image_height = static_cast<uint16_t>(wb_camera_get_height(camera));
    // The stored 16-bit values are printed, the ones the cycle works with.
    std::printf("Camera width = %d, height = %d\n", image_width, image_height);
    display = wb_robot_get_device("display");
}

void init_gps() {
    gps = wb_robot_get_device("gps");
    wb_gps_enable(gps, TIME_STEP);
}

void set_wheel_speeds(double omegaL, double omegaR) {
    wb_motor_set_velocity(left_motor, omegaL);
    wb_motor_set_velocity(right_motor, omegaR);
}

void reset_devices() {
    left_motor = 0;
    right_motor = 0;
    camera = 0;
    display = 0;
    gps = 0;
    image_width = 0;
    image_height = 0;
}
