// Steering law: a proportional law on the line centre's offset from the middle of the frame.
#pragma once

#include <cstdint>

struct WheelSpeeds {
    double omegaL;         // left wheel [rad/s], within -6.28 .. 6.28
    double omegaR;         // right wheel [rad/s], within -6.28 .. 6.28
    double percent_error;  // offset of the centre from the middle, in percent of the width
};

// Wheel speeds for the next step. With more than 9 marked pixels the speeds follow the
// centre's offset from image_width / 2; otherwise both wheels turn at the search speed 4.71
// and the percent error is 0.
WheelSpeeds compute_wheel_speeds(int nr_pels_detected, int line_center, uint16_t image_width);
