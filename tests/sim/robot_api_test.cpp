// The C robot operations over the built-in world, on small inline worlds.
#include "robot_api/robot_api.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include "aux_sensors/aux_sensors.hpp"
#include "sim/range_sensors.hpp"
#include "sim/robot_session.hpp"

namespace {

void start(const std::string& yaml) {
    sim::preload_world(sim::parse_world(yaml, "test.yaml", "."));
    wb_robot_init();
}

void finish() {
    ::testing::internal::CaptureStderr();  // the run summary
    wb_robot_cleanup();
    ::testing::internal::GetCapturedStderr();
}

TEST(RobotApi, UnknownDeviceWarnsAndGivesTagZero) {
    start("");
    ::testing::internal::CaptureStderr();
    const DeviceTag tag = wb_robot_get_device("left wheel motr");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "world: warning: the robot has no device named \"left wheel motr\"; its tag is 0\n");
    EXPECT_EQ(tag, 0);
    finish();
}

// Every operation on tag 0 does nothing and returns a neutral value.
TEST(RobotApi, TagZeroIsNeutral) {
    start("");
    wb_camera_enable(0, 16);
    wb_gps_enable(0, 16);
    wb_distance_sensor_enable(0, 16);
    wb_light_sensor_enable(0, 16);
    wb_motor_set_position(0, 1.0);
    wb_motor_set_velocity(0, 3.0);
    ASSERT_EQ(wb_robot_step(16), 0);
    EXPECT_EQ(wb_camera_get_width(0), 0);
    EXPECT_EQ(wb_camera_get_height(0), 0);
    EXPECT_EQ(wb_camera_get_image(0), nullptr);
    EXPECT_EQ(wb_display_image_new(0, 1, 1, "\0\0\0\0", DISPLAY_IMAGE_BGRA), nullptr);
    wb_display_image_paste(0, nullptr, 0, 0, 0);
    wb_display_image_delete(0, nullptr);
    const double* gps = wb_gps_get_values(0);
    ASSERT_NE(gps, nullptr);
    EXPECT_TRUE(std::isnan(gps[0]) && std::isnan(gps[1]) && std::isnan(gps[2]));
    EXPECT_TRUE(std::isnan(wb_distance_sensor_get_value(0)));
    EXPECT_TRUE(std::isnan(wb_light_sensor_get_value(0)));
    finish();
}

// Before a sensor's first reading: NaN values and a neutral grey frame; after it, real ones.
TEST(RobotApi, ReadingsStartOnePeriodAfterEnabling) {
    start("lights: {ambient: 95}\n");
    const DeviceTag cam = wb_robot_get_device("camera");
    const DeviceTag gps = wb_robot_get_device("gps");
    const DeviceTag ls3 = wb_robot_get_device("ls3");
    const DeviceTag tof = wb_robot_get_device("tof");
    EXPECT_EQ(wb_camera_get_image(cam)[0], 128);
    EXPECT_TRUE(std::isnan(wb_gps_get_values(gps)[0]));
    wb_camera_enable(cam, 16);
    wb_gps_enable(gps, 32);
    wb_light_sensor_enable(ls3, 16);
    wb_distance_sensor_enable(tof, 16);
    ASSERT_EQ(wb_robot_step(16), 0);
    EXPECT_EQ(wb_camera_get_image(cam)[0], 200);  // the default floor's grey
    EXPECT_EQ(wb_camera_get_image(cam)[3], 255);
    EXPECT_TRUE(std::isnan(wb_gps_get_values(gps)[0]));    // its period is 32 ms
    EXPECT_EQ(wb_light_sensor_get_value(ls3), 4000.0);     // 4095 - ambient
    EXPECT_EQ(wb_distance_sensor_get_value(tof), 2000.0);  // no wall: the 2 m range
    ASSERT_EQ(wb_robot_step(16), 0);
    const double* p = wb_gps_get_values(gps);
    EXPECT_EQ(p[0], 0.0);
    EXPECT_EQ(p[1], 0.0205);  // y: the axle's height
    EXPECT_EQ(p[2], 0.0);
    finish();
}

// Speeds set during a step drive the robot in the next one; the run ends after its duration.
TEST(RobotApi, SpeedsActFromTheNextStepAndRunEndsOnTime) {
    start("duration: 0.048\n");
    const DeviceTag gps = wb_robot_get_device("gps");
    const DeviceTag left = wb_robot_get_device("left wheel motor");
    const DeviceTag right = wb_robot_get_device("right wheel motor");
    wb_gps_enable(gps, 16);
    ASSERT_EQ(wb_robot_step(16), 0);
    EXPECT_EQ(wb_gps_get_values(gps)[0], 0.0);
    wb_motor_set_velocity(left, 2.0);
    wb_motor_set_velocity(right, 2.0);
    EXPECT_EQ(wb_gps_get_values(gps)[0], 0.0);
    ASSERT_EQ(wb_robot_step(16), 0);
    EXPECT_NEAR(wb_gps_get_values(gps)[0], 0.0205 * 2.0 * 0.016, 1e-15);
    EXPECT_EQ(wb_robot_step(16), 0);
    EXPECT_DOUBLE_EQ(wb_robot_get_time(), 0.048);
    EXPECT_EQ(wb_robot_step(16), -1);
    EXPECT_EQ(wb_robot_step(16), -1);
    finish();
}

volatile std::sig_atomic_t g_own_handler_calls = 0;
extern "C" void own_handler(int) {
    g_own_handler_calls = g_own_handler_calls + 1;
}

// A stop signal ends the run at the next step; after cleanup the handler that was there before
// the run is back.
TEST(RobotApi, StopSignalEndsTheRunAtTheNextStep) {
    for (const int sig : {SIGINT, SIGTERM}) {
        struct sigaction own {};
        own.sa_handler = own_handler;
        sigemptyset(&own.sa_mask);
        struct sigaction before {};
        ASSERT_EQ(sigaction(sig, &own, &before), 0);
        start("");
        ASSERT_EQ(wb_robot_step(16), 0);
        std::raise(sig);
        EXPECT_EQ(wb_robot_step(16), -1) << sig;
        finish();
        g_own_handler_calls = 0;
        std::raise(sig);
        EXPECT_EQ(g_own_handler_calls, 1) << sig;
        sigaction(sig, &before, nullptr);
    }
}

// The world's proximity readings, looked up in the controller's own calibration table, give the
// wall's distance back over the whole range of the table: the world keeps its own copy of the
// table, and the two must not drift apart.
TEST(RobotApi, ProximityReadingsRoundTripThroughTheControllersTable) {
    const double near_m = proximity_table[kTablePoints - 1][1];
    const double far_m = proximity_table[0][1];
    for (int k = 0; k <= 700; ++k) {
        const double d = near_m + (far_m - near_m) * k / 700;
        EXPECT_NEAR(interpolate_table(proximity_table, sim::proximity_reading(d)), d, 1e-12) << d;
    }
}

// Noise comes only from the seeded generator: the same seed gives the same frames and the same
// path, another seed other ones, and wheel noise moves the robot off its noiseless path.
struct NoisyRun {
    std::vector<std::uint32_t> frames;
    sim::Pose2 end;
};

NoisyRun run_noisy(const std::string& noise) {
    const sim::World world(sim::parse_world(
        "camera: {width: 8, height: 6}\nnoise: {" + noise + "}\n", "noise.yaml", "."));
    sim::Simulation s(world);
    s.enable(sim::Sensor::camera, 16);
    s.set_wheel_speed(0, 3.0);
    s.set_wheel_speed(1, 4.0);
    NoisyRun run;
    for (int k = 0; k < 50; ++k) {
        EXPECT_TRUE(s.step(16));
        const std::uint32_t* f = s.camera_frame();
        run.frames.insert(run.frames.end(), f, f + 8 * 6);
    }
    run.end = s.pose();
    return run;
}

TEST(WorldNoise, SeededAndDeterministic) {
    const NoisyRun quiet = run_noisy("");
    const NoisyRun cam1 = run_noisy("seed: 7, camera: 20");
    EXPECT_EQ(cam1.frames, run_noisy("seed: 7, camera: 20").frames);
    EXPECT_NE(cam1.frames, run_noisy("seed: 8, camera: 20").frames);
    EXPECT_NE(cam1.frames, quiet.frames);

    const NoisyRun wheel1 = run_noisy("seed: 7, wheel_speed: 0.1");
    const NoisyRun again = run_noisy("seed: 7, wheel_speed: 0.1");
    const NoisyRun wheel2 = run_noisy("seed: 8, wheel_speed: 0.1");
    EXPECT_EQ(wheel1.end.x_m, again.end.x_m);
    EXPECT_EQ(wheel1.end.z_m, again.end.z_m);
    EXPECT_EQ(wheel1.end.heading_rad, again.end.heading_rad);
    EXPECT_NE(wheel1.end.heading_rad, wheel2.end.heading_rad);
    EXPECT_NE(wheel1.end.heading_rad, quiet.end.heading_rad);
}

// The display keeps what was pasted last, clipped to its edges, and only that. A 2x2 image
// (pixels 1, 2 / 3, 4) is pasted at (x, y) on a 4x3 display; `landed` lists where each of its
// pixels ends up (display index), or -1 where it falls off the edge.
struct PasteCase {
    const char* name;
    int x, y;
    int landed[4];
};

const PasteCase kPastes[] = {
    {"Inside", 1, 1, {1 * 4 + 1, 1 * 4 + 2, 2 * 4 + 1, 2 * 4 + 2}},
    {"OverBottomRightCorner", 3, 2, {2 * 4 + 3, -1, -1, -1}},
    {"OverTopLeftCorner", -1, -1, {-1, -1, -1, 0}},
    {"JustLeft", -2, 0, {-1, -1, -1, -1}},
    {"WhollyLeft", -5, 0, {-1, -1, -1, -1}},
    {"JustRight", 4, 1, {-1, -1, -1, -1}},
    {"WhollyRight", 6, 1, {-1, -1, -1, -1}},
    {"WhollyAbove", 1, -5, {-1, -1, -1, -1}},
    {"WhollyBelow", 1, 7, {-1, -1, -1, -1}},
    {"FarLeft", -2000000000, 0, {-1, -1, -1, -1}},
    {"FarRight", 2000000000, 0, {-1, -1, -1, -1}},
    {"FarAboveAndLeft", -2000000000, -2000000000, {-1, -1, -1, -1}},
};

class DisplayPaste : public ::testing::TestWithParam<PasteCase> {};

TEST_P(DisplayPaste, KeepsOnlyThePixelsOnTheDisplay) {
    const PasteCase& c = GetParam();
    start("camera: {width: 4, height: 3}\n");
    const DeviceTag disp = wb_robot_get_device("display");
    const std::uint32_t px[4] = {0x11111111u, 0x22222222u, 0x33333333u, 0x44444444u};
    DisplayImageRef img = wb_display_image_new(disp, 2, 2, px, DISPLAY_IMAGE_BGRA);
    ASSERT_NE(img, nullptr);
    wb_display_image_paste(disp, img, c.x, c.y, 0);
    wb_display_image_delete(disp, img);
    const sim::Simulation* s = sim::current_simulation();
    ASSERT_EQ(s->display_width(), 4);
    ASSERT_EQ(s->display_height(), 3);
    std::uint32_t expected[12];
    std::fill(std::begin(expected), std::end(expected), 0xFF000000u);  // black, alpha 255
    for (int i = 0; i < 4; ++i) {
        if (c.landed[i] >= 0) {
            expected[c.landed[i]] = px[i];
        }
    }
    const auto& d = s->display_pixels();
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(d[i], expected[i]) << "display pixel " << i;
    }
    finish();
}

INSTANTIATE_TEST_SUITE_P(RobotApi, DisplayPaste, ::testing::ValuesIn(kPastes),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RobotApiDeathTest, BadWorldFileExitsWithStatusTwoBeforeTheFirstStep) {
    const std::string path = ::testing::TempDir() + "bad_world.yaml";
    std::FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("camera:\n  width: -5\n", f);
    std::fclose(f);
    ASSERT_EQ(setenv("ROBOT_WORLD", path.c_str(), 1), 0);
    EXPECT_EXIT(wb_robot_init(), ::testing::ExitedWithCode(2),
                "bad_world.yaml:2: camera.width: expected an integer from 1 to 8192, got \"-5\"");
    unsetenv("ROBOT_WORLD");
}

}  // namespace
