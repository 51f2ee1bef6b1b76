#include "controller/line_follower.hpp"

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "controller/devices.hpp"
#include "robot_api/robot_api.h"
#include "steering/steering_law.hpp"
#include "trajectory_log/decimal_text.hpp"
#include "trajectory_log/trajectory_log.hpp"
#include "vision/line_center.hpp"
#include "vision/line_pixels.hpp"

double omegaL = 0.0;
double omegaR = 0.0;

namespace {

constexpr const char* kLogFileName = "Robot.m";
constexpr double kStepSeconds = 0.016;  // [s] added to the logged time once per cycle
constexpr int kBytesPerPixel = 4;       // blue, green, red, alpha

// The two console lines of a cycle, each formatted into a buffer and handed to stdout (fully
// buffered when it is a file) in one piece; the text is exactly printf's.

// printf("nr_pels_detected = %d, Color is %f\n", nr_pels_detected, color)
void print_detection(int nr_pels_detected, double color) {
    char line[64 + decimal_text::kMaxChars];
    char* p = decimal_text::write_text(line, "nr_pels_detected = ");
    p = decimal_text::write_int(p, nr_pels_detected);
    p = decimal_text::write_text(p, ", Color is ");
    p = decimal_text::write_fixed6(p, color);
    *p++ = '\n';
    std::fwrite(line, 1, static_cast<std::size_t>(p - line), stdout);
}

// printf("line_center = %f, percent error = %f, omegaL = %f, omegaR = %f\n", ...)
void print_steering(double line_center, double percent_error, double omega_left,
                    double omega_right) {
    char line[96 + 4 * decimal_text::kMaxChars];
    char* p = decimal_text::write_text(line, "line_center = ");
    p = decimal_text::write_fixed6(p, line_center);
    p = decimal_text::write_text(p, ", percent error = ");
    p = decimal_text::write_fixed6(p, percent_error);
    p = decimal_text::write_text(p, ", omegaL = ");
    p = decimal_text::write_fixed6(p, omega_left);
    p = decimal_text::write_text(p, ", omegaR = ");
    p = decimal_text::write_fixed6(p, omega_right);
    *p++ = '\n';
    std::fwrite(line, 1, static_cast<std::size_t>(p - line), stdout);
}

}  // namespace

int line_follower_main() {
    std::FILE* log_file = std::fopen(kLogFileName, "w");
    if (log_file == nullptr) {
        std::fprintf(stderr, "line_follower: cannot open \"%s\" for writing: %s\n", kLogFileName,
                     std::strerror(errno));
        return 1;
    }
    // Line-buffered: each line is handed to the system as soon as it ends, so a run that is
    // killed or crashes still leaves every row written so far. The text is unchanged.
    std::setvbuf(log_file, nullptr, _IOLBF, BUFSIZ);
    write_log_header(log_file);

    wb_robot_init();
    init_motors();
    init_camera();
    init_gps();

    const std::size_t mask_bytes =
        std::size_t{image_width} * std::size_t{image_height} * kBytesPerPixel;
    // At least one byte, so that a camera of size 0 still gets a valid (never read) buffer and
    // a null result always means the allocation failed.
    unsigned char* mask = static_cast<unsigned char*>(std::malloc(mask_bytes > 0 ? mask_bytes : 1));
    if (mask == nullptr) {
        std::fprintf(stderr, "line_follower: cannot allocate the line mask (%zu bytes): %s\n",
                     mask_bytes, std::strerror(errno));
        std::fclose(log_file);
        wb_robot_cleanup();
        return 1;
    }

    double color = 0.0;  // [deg] hue of the last marked pixel, carried over between cycles
    double time = 0.0;   // [s] running sum of kStepSeconds, the logged time
    bool row_written = false;

    while (wb_robot_step(TIME_STEP) != -1) {
        const unsigned char* frame = wb_camera_get_image(camera);
        const int nr_pels_detected =
            detect_line_pixels(frame, mask, image_width, image_height, &color);
        print_detection(nr_pels_detected, color);

        DisplayImageRef image =
            wb_display_image_new(display, image_width, image_height, mask, DISPLAY_IMAGE_BGRA);
        wb_display_image_paste(display, image, 0, 0, 0);
        // Released at once, so memory stays flat however long the run; the display keeps
        // what was pasted.
        wb_display_image_delete(display, image);

        const int line_center = find_line_center(mask, image_width, image_height);
        const WheelSpeeds speeds = compute_wheel_speeds(nr_pels_detected, line_center, image_width);
        omegaL = speeds.omegaL;
        omegaR = speeds.omegaR;
        print_steering(static_cast<double>(line_center), speeds.percent_error, omegaL, omegaR);

        const double* position = wb_gps_get_values(gps);
        time = time + kStepSeconds;
        // The floor plane: index 2 as x, index 0 as y.
        write_log_row(log_file, time, position[2], position[0], omegaL, omegaR);
        row_written = true;

        set_wheel_speeds(omegaL, omegaR);
    }

    std::free(mask);
    if (!row_written) {
        // "A = [" directly followed by "];" would make A 0-by-0, and A(:,1) in the footer would
        // fail; an explicit 0-by-5 matrix keeps the script runnable.
        std::fputs("zeros(0,5)\n", log_file);
    }
    write_log_footer(log_file);
    std::fclose(log_file);
    wb_robot_cleanup();
    return 0;
}

void reset_line_follower_state() {
    reset_devices();
    omegaL = 0.0;
    omegaR = 0.0;
}
