#include "steering/steering_law.hpp"

namespace {

constexpr int kPixelThreshold = 9;
constexpr double kGain = 7.0;
constexpr double kBase = 1.5;
constexpr double kScale = 0.5;
constexpr double kSpeedUnit = 6.28;    // [rad/s]
constexpr double kSpeedLimit = 6.28;   // [rad/s]
constexpr double kSearchSpeed = 4.71;  // [rad/s]
constexpr double kPercent = 100.0;

double limit(double omega) {
    if (omega > kSpeedLimit) {
        return kSpeedLimit;
    }
    if (omega < -kSpeedLimit) {
        return -kSpeedLimit;
    }
    return omega;
}

}  // namespace

WheelSpeeds compute_wheel_speeds(int nr_pels_detected, int line_center, uint16_t image_width) {
    if (nr_pels_detected <= kPixelThreshold) {
        return {kSearchSpeed, kSearchSpeed, 0.0};
    }
    const int half = image_width / 2;
    const double e = (static_cast<double>(half) - static_cast<double>(line_center)) /
                     static_cast<double>(image_width);
    const double k = kGain * e;
    const double omegaL = ((kBase - k) * kScale) * kSpeedUnit;
    const double omegaR = ((k + kBase) * kScale) * kSpeedUnit;
    return {limit(omegaL), limit(omegaR), e * kPercent};
}
