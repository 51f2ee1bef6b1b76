// Runs the controller once against the robot double in the current directory and keeps what it
// left behind.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "controller/line_follower.hpp"
#include "tests/support/robot_double.hpp"
#include "tests/support/scratch.hpp"

struct ControllerRun {
    int status = -1;
    std::string out;      // stdout
    std::string err;      // stderr
    std::string robot_m;  // "Robot.m" after the run; empty if absent
};

// The fourteen closing lines of "Robot.m".
inline const char* const kFooter =
    "];\n"
    "time   = A(:,1);\n"
    "x      = A(:,2);\n"
    "y      = A(:,3);\n"
    "omegaL = A(:,4);\n"
    "omegaR = A(:,5);\n"
    "figure(1);\n"
    "plot(x,y,'+');\n"
    "ylabel('y');\n"
    "xlabel('x');\n"
    "figure(2);\n"
    "plot(time,omegaL,time,omegaR);\n"
    "ylabel('omegaL (blue), omegaR (red)');\n"
    "xlabel('time');\n";

// `before_run` is called after the double is reset and while the output is captured, e.g. to
// install an observer that looks at the captured output.
template <typename BeforeRun>
ControllerRun run_controller(const robot_double::Script& script, BeforeRun before_run) {
    reset_line_follower_state();
    robot_double::reset(script);
    ControllerRun run;
    {
        scratch::Capture err(stderr);
        scratch::Capture out(stdout);
        before_run(out);
        run.status = line_follower_main();
        run.out = out.finish();
        run.err = err.finish();
    }
    run.robot_m = scratch::read_file("Robot.m");
    return run;
}

inline ControllerRun run_controller(const robot_double::Script& script) {
    return run_controller(script, [](scratch::Capture&) {});
}

// A frame of width x height pixels, all grey except the columns first..last (inclusive), which
// have the colour (blue, green, red) on every row.
inline std::vector<unsigned char> frame_with_band(int width, int height, int first, int last,
                                                  unsigned char blue, unsigned char green,
                                                  unsigned char red) {
    std::vector<unsigned char> frame(static_cast<std::size_t>(width * height * 4));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            unsigned char* p = &frame[static_cast<std::size_t>(4 * (y * width + x))];
            const bool band = x >= first && x <= last;
            p[0] = band ? blue : 128;
            p[1] = band ? green : 128;
            p[2] = band ? red : 128;
            p[3] = 255;
        }
    }
    return frame;
}

// The line mask that marks exactly the columns first..last (inclusive) on every row.
inline std::vector<unsigned char> mask_with_band(int width, int height, int first, int last) {
    std::vector<unsigned char> mask(static_cast<std::size_t>(width * height * 4), 0);
    for (int y = 0; y < height; ++y) {
        for (int x = first; x <= last; ++x) {
            unsigned char* p = &mask[static_cast<std::size_t>(4 * (y * width + x))];
            p[1] = 250;
            p[2] = 250;
            p[3] = 250;
        }
    }
    return mask;
}

// Five steps on a 16 x 3 camera; the centre is taken on row 1, the middle of the frame is
// column 8. Hues: yellow (B, G, R) = (0, 255, 255) gives acos(0.25 / (0.5 + 1e-7)) = 60
// degrees + 6.6e-6, printed 60.000007; blue (255, 0, 0) gives 360 - acos(-0.5 / (1 + 1e-7))
// = 240 degrees + 3.3e-6, printed 240.000003; grey is never marked.
//   1. grey: nothing marked, color still 0.0; centre 0; 4.71 on both wheels.
//   2. yellow columns 10..13: 12 marked; centre (10+11+12+13)/4 = 11; e = (8-11)/16 =
//      -0.1875 (-18.75 %), k = 7e = -1.3125; omegaL = (1.5+1.3125)*0.5*6.28 = 8.83125,
//      limited to 6.28; omegaR = (1.5-1.3125)*0.5*6.28 = 0.58875.
//   3. blue columns 0..2: 9 marked, not more than 9; centre (0+1+2)/3 = 1 still printed;
//      4.71 on both wheels, 0 %.
//   4. grey: nothing marked, color keeps 240.000003.
//   5. blue columns 2..5: 12 marked; centre 14/4 = 3 (truncated); e = 5/16 = 0.3125
//      (31.25 %), k = 2.1875; omegaL = (1.5-2.1875)*0.5*6.28 = -2.15875; omegaR =
//      (1.5+2.1875)*0.5*6.28 = 11.57875, limited to 6.28.
// Positions [x, y, z] per step; the rows log z, then x.
inline robot_double::Script five_step_script() {
    robot_double::Script script;
    script.steps = 5;
    script.camera_width = 16;
    script.camera_height = 3;
    script.frames = {
        frame_with_band(16, 3, 0, -1, 0, 0, 0),  frame_with_band(16, 3, 10, 13, 0, 255, 255),
        frame_with_band(16, 3, 0, 2, 255, 0, 0), frame_with_band(16, 3, 0, -1, 0, 0, 0),
        frame_with_band(16, 3, 2, 5, 255, 0, 0),
    };
    script.positions = {
        {0.0, 0.02, 0.0},    {0.125, 0.02, -0.5}, {0.25, 0.02, -1.0},
        {0.375, 0.02, -1.5}, {-2.0, 0.02, 3.25},
    };
    return script;
}

// The masks pasted in those five steps.
inline std::vector<std::vector<unsigned char>> five_step_masks() {
    return {mask_with_band(16, 3, 0, -1), mask_with_band(16, 3, 10, 13),
            mask_with_band(16, 3, 0, 2), mask_with_band(16, 3, 0, -1), mask_with_band(16, 3, 2, 5)};
}

// The rows of "Robot.m" for those five steps: time (a sum of 0.016 per step), z, x, omegaL,
// omegaR.
inline const std::vector<std::string>& five_step_rows() {
    static const std::vector<std::string> rows = {
        "0.016000 0.000000 0.000000 4.710000 4.710000\n",
        "0.032000 -0.500000 0.125000 6.280000 0.588750\n",
        "0.048000 -1.000000 0.250000 4.710000 4.710000\n",
        "0.064000 -1.500000 0.375000 4.710000 4.710000\n",
        "0.080000 3.250000 -2.000000 -2.158750 6.280000\n",
    };
    return rows;
}
