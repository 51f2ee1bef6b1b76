// Device set-up and wheel command: finds the motors, the camera with its display and the
// position sensor, puts them into the state the control cycle expects, and sends wheel speeds.
#pragma once

#include <cstdint>

#include "robot_api/robot_api.h"

// Step length of the control cycle and sampling period of the camera and the position sensor
// [ms].
constexpr int TIME_STEP = 16;

// File-scope state, written by the set-up routines and read by the control cycle.
extern DeviceTag left_motor;   // "left wheel motor"
extern DeviceTag right_motor;  // "right wheel motor"
extern DeviceTag camera;       // "camera"
extern DeviceTag display;      // "display"
extern DeviceTag gps;          // "gps"
extern uint16_t image_width;   // camera width [pixels], as read at set-up
extern uint16_t image_height;  // camera height [pixels], as read at set-up

// Looks up both wheel motors, selects pure speed control (target position +infinity) and sets
// both speeds to 0.0 rad/s, left first.
void init_motors();

// Looks up and enables the camera every TIME_STEP, stores its size as unsigned 16-bit values,
// prints "Camera width = %d, height = %d\n" on stdout, then looks up the display.
void init_camera();

// Looks up the position sensor and enables it every TIME_STEP.
void init_gps();

// Sends the speeds [rad/s] unchanged, left motor first; they act during the next step.
void set_wheel_speeds(double omegaL, double omegaR);

// Puts every tag and the image size back to 0, as before set-up (for tests).
void reset_devices();
