// World files: the YAML description of one world (floor, lines, robot, camera, walls, lights,
// noise, run length) and its loader. Every field has a default, so an empty file is a valid
// world; unknown fields and out-of-range values are errors that name the file, the line, the
// field and what was expected.
//
// Frame: the floor is the plane spanned by x and z, y points up. Seen from above with z to the
// right and x up (the way Robot.m plots them), headings are measured counterclockwise from +x,
// so a robot with heading h moves along (cos h, -sin h) in (x, z), and a positive arc turns
// left.
#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "sim/png_image.hpp"

namespace sim {

constexpr double kPi = 3.141592653589793;
constexpr double kDegToRad = kPi / 180.0;  // [rad] per degree

// A colour as red, green, blue bytes.
struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
};

struct Pose2 {
    double x_m = 0.0;
    double z_m = 0.0;
    double heading_rad = 0.0;  // counterclockwise from +x seen from above
};

// One piece of a line: a straight of `length_m`, or an arc of `angle_rad` (positive turns
// left) on a circle of `radius_m`.
struct SegmentDesc {
    enum class Kind { straight, arc } kind = Kind::straight;
    double length_m = 0.0;
    double radius_m = 0.0;
    double angle_rad = 0.0;
    double width_m = 0.0;
    Rgb color;
};

// A chain of segments, each starting where the previous one ends, tangent to it.
struct LineDesc {
    Pose2 start;
    std::vector<SegmentDesc> segments;
};

struct WallDesc {
    double x0_m = 0, z0_m = 0, x1_m = 0, z1_m = 0;
};

struct LightDesc {
    double x_m = 0, z_m = 0;
    double height_m = 1.0;
    double intensity = 0.0;  // [counts m^2]: the fall of a facing sensor's reading at 1 m
};

struct WorldDesc {
    std::string source_name;  // file name for messages, or "<default world>"
    std::string base_dir;     // folder that relative paths in the file start from

    double duration_s = 60.0;

    // Floor: a rectangle of size_x by size_z centred on (center_x, center_z).
    double floor_size_x_m = 2.0, floor_size_z_m = 2.0;
    double floor_center_x_m = 0.0, floor_center_z_m = 0.0;
    Rgb floor_color{200, 200, 200};
    std::string floor_image;       // PNG stretched over the floor, as given in the file
    RgbaImage floor_image_pixels;  // its pixels, read when the file is loaded
    double floor_texel_m = 0.002;

    std::vector<LineDesc> lines;

    // Robot.
    Pose2 robot_start;
    double wheel_radius_m = 0.0205;
    double axle_length_m = 0.052;
    double max_wheel_speed_rad_s = 6.28;
    double body_radius_m = 0.037;

    // Camera: pinhole, `pitch` below the horizontal, mounted `forward_offset` ahead of the
    // robot's centre at `mount_height` above the floor.
    int camera_width_px = 52;
    int camera_height_px = 39;
    double camera_fov_rad = 84.3 * kPi / 180;  // horizontal field of view
    double camera_mount_height_m = 0.05;
    double camera_forward_offset_m = 0.01;
    double camera_pitch_rad = 65 * kPi / 180;

    // Display; 0 means the camera's size.
    int display_width_px = 0;
    int display_height_px = 0;

    double tof_range_m = 2.0;

    std::vector<WallDesc> walls;
    double ambient_light = 0.0;  // [counts]: fall of every light reading in the room's light
    std::vector<LightDesc> lights;

    std::uint64_t noise_seed = 1;
    double camera_noise = 0.0;       // standard deviation per channel [0-255 units]
    double wheel_speed_noise = 0.0;  // relative standard deviation of each wheel's speed

    std::string top_view_png;  // written at the end of the run when not empty
    double top_view_texel_m = 0.004;
};

// A world that cannot be loaded. what() is the one line for stderr:
// "file:line: field: what was expected".
class WorldFileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Parses a world from YAML text. `source_name` appears in messages; `base_dir` is where relative
// image paths start. Throws WorldFileError.
WorldDesc parse_world(const std::string& text, const std::string& source_name,
                      const std::string& base_dir);

// Reads and parses a world file. Throws WorldFileError.
WorldDesc load_world_file(const std::string& path);

// The YAML of the default world compiled into the binary (worlds/default.yaml).
const std::string& default_world_text();

}  // namespace sim
