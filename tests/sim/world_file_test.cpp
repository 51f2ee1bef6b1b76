#include "sim/world_file.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "sim/track.hpp"

namespace sim {
namespace {

struct BadWorld {
    const char* name;
    const char* yaml;
    const char* message;  // the whole stderr line
};

const BadWorld kBadWorlds[] = {
    {"yaml_syntax", "floor: [1, 2\n", "w.yaml:2: YAML syntax: end of sequence flow not found"},
    {"unknown_top_field", "duration: 5\nflor: {}\n",
     "w.yaml:2: flor: unknown field; expected one of duration, floor, lines, robot, camera, "
     "display, tof, walls, lights, noise, output"},
    {"unknown_nested_field", "camera:\n  widht: 10\n",
     "w.yaml:2: camera.widht: unknown field; expected one of width, height, fov, mount_height, "
     "forward_offset, pitch"},
    {"wrong_type", "camera:\n  width: wide\n",
     "w.yaml:2: camera.width: expected an integer from 1 to 8192, got \"wide\""},
    {"fraction_for_integer", "camera: {height: 2.5}\n",
     "w.yaml:1: camera.height: expected an integer from 1 to 8192, got \"2.5\""},
    {"negative_size", "floor:\n  size: [-1, 2]\n",
     "w.yaml:2: floor.size: expected [a, b] of numbers above 0 and at most 10000, got \"-1\""},
    {"nan", "robot:\n  wheel_radius: .nan\n",
     "w.yaml:2: robot.wheel_radius: expected a number above 0 and at most 10000, got \".nan\""},
    // Huge values would make texel indices overflow and the summary's figures infinite.
    {"huge_radius", "robot: {wheel_radius: 1e300}\n",
     "w.yaml:1: robot.wheel_radius: expected a number above 0 and at most 10000, got \"1e300\""},
    {"huge_coordinate", "lines:\n  - start: {x: 1e300}\n    segments: [{straight: 1}]\n",
     "w.yaml:2: lines[0].start.x: expected a number from -10000 to 10000, got \"1e300\""},
    {"huge_floor", "floor: {size: [1e9, 1]}\n",
     "w.yaml:1: floor.size: expected [a, b] of numbers above 0 and at most 10000, got \"1e9\""},
    {"texel_too_small", "floor: {size: [0.001, 0.001], texel: 1e-9}\n",
     "w.yaml:1: floor.texel: expected a texel size from 0.0001 to 10 m, got \"1e-9\""},
    {"infinite_wall", "walls: [{from: [0, 0], to: [.inf, 0]}]\n",
     "w.yaml:1: walls[0].to: expected [a, b] of numbers from -10000 to 10000, got \".inf\""},
    {"camera_too_large", "camera: {width: 8192, height: 8192}\n",
     "w.yaml:1: camera: expected at most 16777216 pixels (width x height), got 67108864"},
    {"display_too_large", "display: {width: 8192, height: 8192}\n",
     "w.yaml:1: display: expected at most 16777216 pixels (width x height), got 67108864"},
    // A side of 0 is the camera's: 8192 x 4096 = 33554432.
    {"display_too_large_with_camera_side", "camera: {height: 4096}\ndisplay: {width: 8192}\n",
     "w.yaml:2: display: expected at most 16777216 pixels (width x height), got 33554432"},
    {"missing_image", "floor:\n  image: nowhere.png\n",
     "w.yaml:2: floor.image: expected a readable PNG file, could not read ./nowhere.png"},
    {"arc_without_radius", "lines:\n  - segments:\n    - {arc: 90}\n",
     "w.yaml:3: lines[0].segments[0].radius: an arc needs a radius in m"},
    {"straight_and_arc", "lines:\n  - segments:\n    - {arc: 90, straight: 1, radius: 1}\n",
     "w.yaml:3: lines[0].segments[0]: expected exactly one of straight (length in m) or arc "
     "(angle in degrees, with radius)"},
    {"colour_out_of_range", "floor: {color: [300, 0, 0]}\n",
     "w.yaml:1: floor.color: expected [red, green, blue] with values 0 to 255, or one of red, "
     "yellow, blue, green, white, black, grey, got \"300\""},
    {"zero_duration", "duration: 0\n",
     "w.yaml:1: duration: expected a duration from 0.001 to 100000000 s, got \"0\""},
    {"floor_too_fine", "floor: {size: [100, 100], texel: 0.001}\n",
     "w.yaml:1: floor.texel: expected a texel size that keeps the floor within 16384 texels a "
     "side and 16777216 in all, got 10000000000.000000 texels"},
    // The top view is written after the run; a path it cannot be written to fails at load.
    {"top_view_in_missing_folder", "output:\n  top_view: /no/such/folder/top.png\n",
     "w.yaml:2: output.top_view: expected a PNG file that can be written, got "
     "\"/no/such/folder/top.png\" (/no/such/folder: No such file or directory)"},
    {"top_view_under_a_file", "output: {top_view: /dev/null/top.png}\n",
     "w.yaml:1: output.top_view: expected a PNG file that can be written, got "
     "\"/dev/null/top.png\" (/dev/null is not a directory)"},
    {"top_view_is_a_folder", "output: {top_view: /tmp}\n",
     "w.yaml:1: output.top_view: expected a PNG file that can be written, got \"/tmp\" (not a "
     "regular file)"},
    {"duplicate_top_field", "duration: 5\nfloor: {}\nduration: 6\n",
     "w.yaml:3: duration: given twice"},
    {"duplicate_nested_field", "robot:\n  start: {x: 1, z: 2, x: 3}\n",
     "w.yaml:2: robot.start.x: given twice"},
    {"not_a_mapping", "- 1\n- 2\n",
     "w.yaml:1: (whole file): expected a mapping with fields duration, floor, lines, robot, "
     "camera, display, tof, walls, lights, noise, output, got a sequence"},
};

class BadWorldFile : public ::testing::TestWithParam<BadWorld> {};

TEST_P(BadWorldFile, OneLineNamesFileLineFieldAndExpectation) {
    try {
        parse_world(GetParam().yaml, "w.yaml", ".");
        FAIL() << "no error";
    } catch (const WorldFileError& e) {
        const std::string what = e.what();
        // The missing image's message goes on with libpng's reason, which is not ours.
        EXPECT_EQ(what.substr(0, std::string(GetParam().message).size()), GetParam().message);
        EXPECT_EQ(what.find('\n'), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(WorldFile, BadWorldFile, ::testing::ValuesIn(kBadWorlds),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WorldFile, AliasesCannotMultiplyTheSegments) {
    // A 20,000-segment line and five aliases of it: a file of 380 kB naming 120,000 segments.
    std::string yaml = "lines:\n  - segments: &s [";
    for (int i = 0; i < 20000; ++i)
        yaml += i ? ", {straight: 0.001}" : "{straight: 0.001}";
    yaml += "]\n";
    for (int i = 0; i < 5; ++i)
        yaml += "  - segments: *s\n";
    try {
        parse_world(yaml, "w.yaml", ".");
        FAIL() << "no error";
    } catch (const WorldFileError& e) {
        const std::string what = e.what();
        EXPECT_NE(what.find("lines[5].segments[0]: expected at most 100000 segments in all lines "
                            "together"),
                  std::string::npos)
            << what;
    }
}

// A path that does not lead to a readable regular file is not an empty (valid) world.
struct BadWorldPath {
    const char* name;
    const char* path;
    const char* message;
};

const BadWorldPath kBadWorldPaths[] = {
    {"missing", "/no/such/world.yaml",
     "/no/such/world.yaml: cannot open the world file (No such file or directory)"},
    {"directory", "/", "/: expected a world file, got a directory"},
    {"device", "/dev/null", "/dev/null: expected a world file, got a device, pipe or socket"},
    // A regular file whose every read fails: reading at offset 0 of a process's memory.
    {"unreadable", "/proc/self/mem",
     "/proc/self/mem: cannot read the world file (Input/output error)"},
};

class UnloadableWorldPath : public ::testing::TestWithParam<BadWorldPath> {};

TEST_P(UnloadableWorldPath, OneLineNamesThePathAndTheReason) {
    try {
        load_world_file(GetParam().path);
        FAIL() << "no error";
    } catch (const WorldFileError& e) {
        EXPECT_STREQ(e.what(), GetParam().message);
    }
}

INSTANTIATE_TEST_SUITE_P(WorldFile, UnloadableWorldPath, ::testing::ValuesIn(kBadWorldPaths),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WorldFile, EmptyFileIsTheDefaults) {
    const WorldDesc w = parse_world("", "w.yaml", ".");
    EXPECT_EQ(w.duration_s, 60.0);
    EXPECT_EQ(w.camera_width_px, 52);
    EXPECT_EQ(w.camera_height_px, 39);
    EXPECT_EQ(w.wheel_radius_m, 0.0205);
    EXPECT_EQ(w.axle_length_m, 0.052);
    EXPECT_EQ(w.max_wheel_speed_rad_s, 6.28);
    EXPECT_TRUE(w.lines.empty());
}

// Angles are written in degrees and kept in radians; colours by name or as bytes.
TEST(WorldFile, DegreesAndColours) {
    const WorldDesc w = parse_world(
        "robot: {start: {x: 1, z: -2, heading: 90}}\n"
        "camera: {pitch: 30, fov: 60}\n"
        "lines:\n"
        "  - color: blue\n"
        "    segments: [{straight: 1}, {arc: -45, radius: 0.5, color: [1, 2, 3]}]\n",
        "w.yaml", ".");
    EXPECT_EQ(w.robot_start.x_m, 1.0);
    EXPECT_EQ(w.robot_start.z_m, -2.0);
    EXPECT_DOUBLE_EQ(w.robot_start.heading_rad, M_PI / 2);
    EXPECT_DOUBLE_EQ(w.camera_pitch_rad, M_PI / 6);
    EXPECT_DOUBLE_EQ(w.camera_fov_rad, M_PI / 3);
    ASSERT_EQ(w.lines.size(), 1u);
    ASSERT_EQ(w.lines[0].segments.size(), 2u);
    EXPECT_EQ(w.lines[0].segments[0].color.b, 220);
    EXPECT_DOUBLE_EQ(w.lines[0].segments[1].angle_rad, -M_PI / 4);
    EXPECT_EQ(w.lines[0].segments[1].color.r, 1);
    EXPECT_EQ(w.lines[0].segments[1].width_m, 0.02);
}

// The default world compiled into the binary parses and is a closed line of 3 to 5 m.
TEST(WorldFile, DefaultWorldIsValid) {
    const WorldDesc w = parse_world(default_world_text(), "<default world>", ".");
    EXPECT_EQ(w.duration_s, 60.0);
    ASSERT_EQ(w.lines.size(), 1u);
    const Track track(w.lines);
    EXPECT_TRUE(track.line_closed(0));
    EXPECT_GE(track.line_length(0), 3.0);
    EXPECT_LE(track.line_length(0), 5.0);
}

}  // namespace
}  // namespace sim
