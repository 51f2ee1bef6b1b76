// The built-in world's speed: one 16 ms step with a fresh camera frame, at the default 52 x 39
// and at 1280 x 720; a whole default run (60 s of robot time) with the line-following core in
// the loop as the controller drives it (without its console output); the same world alone; and
// the controller itself, as the executable runs it, with its console lines and Robot.m.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "controller/line_follower.hpp"
#include "robot_api/robot_api.h"
#include "sim/robot_session.hpp"
#include "sim/world.hpp"
#include "steering/steering_law.hpp"
#include "vision/line_center.hpp"
#include "vision/line_pixels.hpp"

namespace {

// One step and one frame, the robot circling on the default track's floor so that every
// frame differs. Items are camera pixels.
void BM_WorldStep(benchmark::State& state) {
    sim::WorldDesc desc = sim::parse_world(sim::default_world_text(), "<default world>", ".");
    desc.camera_width_px = static_cast<int>(state.range(0));
    desc.camera_height_px = static_cast<int>(state.range(1));
    desc.duration_s = 1e8;
    const sim::World world(desc);
    sim::Simulation sim(world);
    sim.enable(sim::Sensor::camera, 16);
    sim.set_wheel_speed(0, 4.0);
    sim.set_wheel_speed(1, 4.71);
    std::uint32_t sink = 0;
    for (auto _ : state) {
        sim.step(16);
        sink += sim.camera_frame()[0];
    }
    benchmark::DoNotOptimize(sink);
    state.SetItemsProcessed(state.iterations() * state.range(0) * state.range(1));
    state.counters["robot_s_per_s"] = benchmark::Counter(
        0.016 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_WorldStep)->Args({52, 39})->Args({1280, 720})->Unit(benchmark::kMicrosecond);

// The whole default run through the robot operations. Items are steps.
void BM_DefaultRun(benchmark::State& state) {
    std::int64_t steps = 0;
    for (auto _ : state) {
        wb_robot_init();
        const DeviceTag left = wb_robot_get_device("left wheel motor");
        const DeviceTag right = wb_robot_get_device("right wheel motor");
        const DeviceTag cam = wb_robot_get_device("camera");
        const DeviceTag disp = wb_robot_get_device("display");
        const DeviceTag gps = wb_robot_get_device("gps");
        wb_camera_enable(cam, 16);
        wb_gps_enable(gps, 16);
        const int w = wb_camera_get_width(cam);
        const int h = wb_camera_get_height(cam);
        std::vector<unsigned char> mask(4 * w * h);
        double color = 0, sum = 0;
        while (wb_robot_step(16) != -1) {
            const int n = detect_line_pixels(wb_camera_get_image(cam), mask.data(), w, h, &color);
            DisplayImageRef img = wb_display_image_new(disp, w, h, mask.data(), DISPLAY_IMAGE_BGRA);
            wb_display_image_paste(disp, img, 0, 0, 0);
            wb_display_image_delete(disp, img);
            const WheelSpeeds s = compute_wheel_speeds(n, find_line_center(mask.data(), w, h),
                                                       static_cast<std::uint16_t>(w));
            sum += wb_gps_get_values(gps)[0];
            wb_motor_set_velocity(left, s.omegaL);
            wb_motor_set_velocity(right, s.omegaR);
            ++steps;
        }
        benchmark::DoNotOptimize(sum);
        // The run summary goes to stderr; keep it out of the benchmark's report.
        std::FILE* saved = stderr;
        stderr = std::fopen("/dev/null", "w");
        wb_robot_cleanup();
        std::fclose(stderr);
        stderr = saved;
    }
    state.SetItemsProcessed(steps);
}
BENCHMARK(BM_DefaultRun)->Unit(benchmark::kMillisecond);

// The same run with the world alone: load, steps, frames, display, position; the wheel speeds
// come from a fixed gentle turn instead of the classifier.
void BM_DefaultRunWorldOnly(benchmark::State& state) {
    std::int64_t steps = 0;
    for (auto _ : state) {
        const sim::World world(sim::parse_world(sim::default_world_text(), "<default world>", "."));
        sim::Simulation sim(world);
        sim.enable(sim::Sensor::camera, 16);
        sim.enable(sim::Sensor::gps, 16);
        sim.set_wheel_speed(0, 4.0);
        sim.set_wheel_speed(1, 4.71);
        std::uint32_t sink = 0;
        while (sim.step(16)) {
            const std::uint32_t* f = sim.camera_frame();
            sim.paste(f, world.camera().width(), world.camera().height(), 0, 0);
            sink += f[0];
            ++steps;
        }
        benchmark::DoNotOptimize(sink);
    }
    state.SetItemsProcessed(steps);
}
BENCHMARK(BM_DefaultRunWorldOnly)->Unit(benchmark::kMillisecond);

// The executable's whole run minus process start-up: line_follower_main on the default world
// in a scratch folder, its console lines going to a file there (fully buffered, as a file on
// stdout is) and its Robot.m (one write per row), the run summary to /dev/null. Items are steps.
void BM_ControllerRun(benchmark::State& state) {
    char dir[] = "/tmp/bench_world_XXXXXX";
    const int here = open(".", O_RDONLY);
    if (mkdtemp(dir) == nullptr || here < 0 || chdir(dir) != 0) {
        state.SkipWithError("no scratch folder");
        return;
    }
    std::fflush(stdout);
    std::fflush(stderr);
    const int saved_out = dup(1);
    const int saved_err = dup(2);
    const int null = open("/dev/null", O_WRONLY);
    for (auto _ : state) {
        const int console = open("console.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(console, 1);
        dup2(null, 2);
        close(console);
        // glibc lets a flushed stream change its buffering; a file on stdout is fully buffered.
        std::setvbuf(stdout, nullptr, _IOFBF, BUFSIZ);
        reset_line_follower_state();
        benchmark::DoNotOptimize(line_follower_main());
        std::fflush(stdout);
        std::fflush(stderr);
        dup2(saved_out, 1);
        dup2(saved_err, 2);
    }
    std::setvbuf(stdout, nullptr, isatty(1) ? _IOLBF : _IOFBF, BUFSIZ);
    close(null);
    close(saved_out);
    close(saved_err);
    unlink("console.txt");
    unlink("Robot.m");
    if (fchdir(here) == 0) {
        rmdir(dir);
    }
    close(here);
    state.SetItemsProcessed(state.iterations() * 3750);
}
BENCHMARK(BM_ControllerRun)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
