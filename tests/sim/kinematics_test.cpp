#include "sim/kinematics.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace sim {
namespace {

constexpr double kR = 0.0205;  // wheel radius [m]
constexpr double kL = 0.052;   // axle length [m]

struct DriveCase {
    const char* name;
    double left, right;  // [rad/s]
    double seconds;
    Pose2 expected;
};

// v = r (wR + wL) / 2, w = r (wR - wL) / L; with heading 0 the closed form is
// x = (v / w) sin(w t), z = (v / w) (cos(w t) - 1), heading = w t (straight: x = v t).
const double kArcV = kR * (3.0 + 1.0) / 2;   // 0.041 m/s
const double kArcW = kR * (3.0 - 1.0) / kL;  // 0.788461... rad/s

const DriveCase kCases[] = {
    {"straight", 2.0, 2.0, 1.0, {kR * 2.0, 0.0, 0.0}},
    {"backwards", -1.0, -1.0, 2.0, {-kR * 2.0, 0.0, 0.0}},
    {"turn_on_the_spot_left", -1.0, 1.0, 1.0, {0.0, 0.0, 2 * kR / kL}},
    {"arc_left",
     1.0,
     3.0,
     1.6,
     {kArcV / kArcW * std::sin(kArcW * 1.6), kArcV / kArcW*(std::cos(kArcW * 1.6) - 1),
      kArcW * 1.6}},
    {"arc_right",
     3.0,
     1.0,
     1.6,
     {kArcV / kArcW * std::sin(kArcW * 1.6), -kArcV / kArcW*(std::cos(kArcW * 1.6) - 1),
      -kArcW * 1.6}},
};

class DriveTest : public ::testing::TestWithParam<DriveCase> {};

TEST_P(DriveTest, OneStepMatchesClosedForm) {
    const DriveCase& c = GetParam();
    const Pose2 p = advance_pose(Pose2{}, c.left, c.right, {kR, kL}, c.seconds);
    EXPECT_NEAR(p.x_m, c.expected.x_m, 1e-12);
    EXPECT_NEAR(p.z_m, c.expected.z_m, 1e-12);
    EXPECT_NEAR(p.heading_rad, c.expected.heading_rad, 1e-12);
}

// Exact arcs compose: 100 short steps land where one long step does.
TEST_P(DriveTest, ManyStepsMatchOneStep) {
    const DriveCase& c = GetParam();
    Pose2 p;
    for (int i = 0; i < 100; ++i) {
        p = advance_pose(p, c.left, c.right, {kR, kL}, c.seconds / 100);
    }
    EXPECT_NEAR(p.x_m, c.expected.x_m, 1e-12);
    EXPECT_NEAR(p.z_m, c.expected.z_m, 1e-12);
    EXPECT_NEAR(p.heading_rad, c.expected.heading_rad, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(Kinematics, DriveTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Heading 90 degrees faces -z: the forward direction is (cos h, -sin h).
TEST(Kinematics, HeadingNinetyDrivesTowardsMinusZ) {
    const Pose2 p = advance_pose(Pose2{0, 0, M_PI / 2}, 1.0, 1.0, {kR, kL}, 1.0);
    EXPECT_NEAR(p.x_m, 0.0, 1e-15);
    EXPECT_NEAR(p.z_m, -kR, 1e-15);
}

}  // namespace
}  // namespace sim
