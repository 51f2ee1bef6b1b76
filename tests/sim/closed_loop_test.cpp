// The line-following core driving the built-in world through the robot operations, the way
// the controller's loop does.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "robot_api/robot_api.h"
#include "sim/robot_session.hpp"
#include "steering/steering_law.hpp"
#include "vision/line_center.hpp"
#include "vision/line_pixels.hpp"

namespace {

struct LoopResult {
    std::string console;  // the controller's two lines per step
    std::string log;      // its Robot.m rows
    int lost_steps = 0;   // steps after the first with 9 or fewer marked pixels
    sim::RunFigures figures;
};

LoopResult run_loop(const std::string& yaml) {
    sim::preload_world(sim::parse_world(yaml, "test.yaml", "."));
    wb_robot_init();
    const DeviceTag left = wb_robot_get_device("left wheel motor");
    const DeviceTag right = wb_robot_get_device("right wheel motor");
    const DeviceTag cam = wb_robot_get_device("camera");
    const DeviceTag disp = wb_robot_get_device("display");
    const DeviceTag gps = wb_robot_get_device("gps");
    wb_motor_set_position(left, INFINITY);
    wb_motor_set_position(right, INFINITY);
    wb_camera_enable(cam, 16);
    wb_gps_enable(gps, 16);
    const int w = wb_camera_get_width(cam);
    const int h = wb_camera_get_height(cam);
    std::vector<unsigned char> mask(4 * w * h);
    double color = 0, time = 0;
    LoopResult r;
    char line[256];
    for (int step = 0; wb_robot_step(16) != -1; ++step) {
        const int n = detect_line_pixels(wb_camera_get_image(cam), mask.data(), w, h, &color);
        std::snprintf(line, sizeof line, "nr_pels_detected = %d, Color is %f\n", n, color);
        r.console += line;
        DisplayImageRef img = wb_display_image_new(disp, w, h, mask.data(), DISPLAY_IMAGE_BGRA);
        wb_display_image_paste(disp, img, 0, 0, 0);
        wb_display_image_delete(disp, img);
        const int c = find_line_center(mask.data(), w, h);
        const WheelSpeeds s = compute_wheel_speeds(n, c, static_cast<std::uint16_t>(w));
        std::snprintf(line, sizeof line,
                      "line_center = %f, percent error = %f, omegaL = %f, omegaR = %f\n",
                      static_cast<double>(c), s.percent_error, s.omegaL, s.omegaR);
        r.console += line;
        const double* p = wb_gps_get_values(gps);
        time += 0.016;
        std::snprintf(line, sizeof line, "%f %f %f %f %f\n", time, p[2], p[0], s.omegaL, s.omegaR);
        r.log += line;
        if (step > 0 && n <= 9) {
            ++r.lost_steps;
        }
        wb_motor_set_velocity(left, s.omegaL);
        wb_motor_set_velocity(right, s.omegaR);
    }
    r.figures = sim::current_simulation()->figures();
    ::testing::internal::CaptureStderr();
    wb_robot_cleanup();
    ::testing::internal::GetCapturedStderr();
    return r;
}

std::uint64_t fnv1a(const std::string& s) {
    std::uint64_t h = 0xcbf29ce484222325ULL;
    for (const unsigned char c : s) {
        h = (h ^ c) * 0x100000001b3ULL;
    }
    return h;
}

// A circle of radius 0.25 m (1.571 m), blue, red and yellow thirds; 20 s at 0.0966 m/s is
// 1.23 laps.
const char* const kCircle = R"(
duration: 20
floor: {size: [1, 1], center: [0, -0.25]}
lines:
  - start: {x: 0, z: 0, heading: 0}
    segments:
      - {arc: 120, radius: 0.25, color: blue}
      - {arc: 120, radius: 0.25, color: red}
      - {arc: 120, radius: 0.25, color: yellow}
)";

TEST(ClosedLoop, FollowsACircle) {
    const LoopResult r = run_loop(kCircle);
    EXPECT_EQ(r.lost_steps, 0);
    EXPECT_EQ(r.figures.steps, 1250);
    EXPECT_GE(r.figures.laps, 1.0);
    EXPECT_LE(r.figures.mean_line_distance_m, 0.005);
    EXPECT_LE(r.figures.max_line_distance_m, 0.015);
}

// The same world twice gives byte-identical console lines and log rows.
TEST(Determinism, SameWorldSameBytes) {
    const LoopResult a = run_loop(kCircle);
    const LoopResult b = run_loop(kCircle);
    EXPECT_EQ(a.console, b.console);
    EXPECT_EQ(a.log, b.log);
}

// A pinned fingerprint of 2 s on the default world: any change to the world's geometry,
// rendering or motion shows up here. Update it only for an intended change, with a reason.
TEST(Determinism, GoldenDefaultWorldRun) {
    std::string yaml = sim::default_world_text();
    yaml.replace(yaml.find("duration: 60"), 12, "duration: 2");
    const LoopResult r = run_loop(yaml);
    EXPECT_EQ(fnv1a(r.console + r.log), 0xbc8363552f14fffULL)
        << std::hex << fnv1a(r.console + r.log);
}

}  // namespace
