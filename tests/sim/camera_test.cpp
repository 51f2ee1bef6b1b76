#include "sim/camera.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/world.hpp"

namespace sim {
namespace {

// The default camera: 52 x 39, fov 84.3 deg, 0.05 m up, pitch 65 deg. Its middle row looks
// along the optical axis at depth 0.05 / sin 65deg = 0.0552 m and spans
// 2 * 0.0552 * tan(42.15deg) = 0.0999 m of floor: 520 pixels per metre across.
std::string line_world(double z_offset_m) {
    return "floor: {size: [2, 2], color: [200, 200, 200]}\n"
           "lines:\n"
           "  - start: {x: -0.5, z: " +
           std::to_string(z_offset_m) +
           ", heading: 0}\n"
           "    width: 0.02\n"
           "    color: [230, 40, 40]\n"
           "    segments: [{straight: 1.5}]\n";
}

bool is_line(std::uint32_t px) {
    const int b = px & 0xFF, g = (px >> 8) & 0xFF, r = (px >> 16) & 0xFF;
    return r - std::max(g, b) > 60;
}

struct Frame {
    std::vector<std::uint32_t> px;
    int w, h;
};

Frame render(const std::string& yaml, Pose2 pose = {}) {
    const World world(parse_world(yaml, "test.yaml", "."));
    Frame f{std::vector<std::uint32_t>(world.camera().width() * world.camera().height()),
            world.camera().width(), world.camera().height()};
    world.camera().render(world.floor(), pose, f.px.data());
    return f;
}

double mean_line_column(const Frame& f, int row) {
    double sum = 0;
    int n = 0;
    for (int x = 0; x < f.w; ++x) {
        if (is_line(f.px[row * f.w + x])) {
            sum += x;
            ++n;
        }
    }
    return n > 0 ? sum / n : -1;
}

struct PlacementCase {
    const char* name;
    double z_offset_m;  // where the line runs; the robot's left is -z at heading 0
    double expected_column;
};

// The frame's centre is column 26.0, i.e. pixel 25.5 in pixel-index terms; an offset of
// d metres to the left moves the line by 520 d pixels to the left.
const PlacementCase kPlacements[] = {
    {"straight_ahead", 0.0, 25.5},
    {"two_cm_left", -0.02, 25.5 - 10.4},
    {"two_cm_right", 0.02, 25.5 + 10.4},
};

class LinePlacement : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(LinePlacement, MiddleRowSeesTheLineWhereItRuns) {
    const Frame f = render(line_world(GetParam().z_offset_m));
    EXPECT_NEAR(mean_line_column(f, f.h / 2), GetParam().expected_column, 0.6);
}

INSTANTIATE_TEST_SUITE_P(Camera, LinePlacement, ::testing::ValuesIn(kPlacements),
                         [](const auto& info) { return std::string(info.param.name); });

// A level camera (pitch 0) sees the horizon across the middle of the frame: rays of the upper
// half never meet the floor and show the neutral grey; the bottom row sees the floor nearby.
// (Rows just below the horizon see the floor so coarsely filtered that it fades to grey.)
TEST(Camera, HorizonSplitsTheFrame) {
    const Frame f = render("camera: {width: 8, height: 6, pitch: 0}\nfloor: {size: [4, 4]}\n");
    for (int y = 0; y < f.h; ++y) {
        for (int x = 0; x < f.w; ++x) {
            const std::uint32_t px = f.px[y * f.w + x];
            EXPECT_EQ(px >> 24, 255u);
            if (y < f.h / 2) {
                EXPECT_EQ(px & 0xFFFFFFu, 0x808080u) << x << "," << y;
            } else if (y == f.h - 1) {
                EXPECT_EQ(px & 0xFFFFFFu, 0xC8C8C8u) << x << "," << y;
            }
        }
    }
}

// Off the floor's edge the camera sees the neutral grey too.
TEST(Camera, OffTheFloorIsNeutralGrey) {
    const Frame f = render("floor: {size: [0.1, 0.1], center: [5, 5]}\n");
    for (const std::uint32_t px : f.px) {
        EXPECT_EQ(px, 0xFF808080u);
    }
}

// Filtered sampling: moving sideways in steps of a tenth of a pixel changes how much of a
// thin far line the frame shows only a little, never by whole pixels at once.
TEST(Camera, ThinLineDoesNotFlicker) {
    const std::string yaml =
        "camera: {width: 64, height: 48, pitch: 20, fov: 90}\n"
        "floor: {size: [8, 8]}\n"
        "lines:\n"
        "  - {start: {x: 0, z: 0, heading: 0}, width: 0.005, color: [230, 40, 40],\n"
        "     segments: [{straight: 4}]}\n";
    const World world(parse_world(yaml, "test.yaml", "."));
    std::vector<std::uint32_t> px(64 * 48);
    double lo = HUGE_VAL, hi = 0;
    for (int k = 0; k < 40; ++k) {
        world.camera().render(world.floor(), Pose2{0, 0.0002 * k, 0}, px.data());
        double redness = 0;
        for (const std::uint32_t p : px) {
            redness += static_cast<int>((p >> 16) & 0xFF) - static_cast<int>((p >> 8) & 0xFF);
        }
        lo = std::min(lo, redness);
        hi = std::max(hi, redness);
    }
    ASSERT_GT(lo, 0);
    EXPECT_LT((hi - lo) / lo, 0.1);
}

// Floor points are fixed in the robot frame: the middle pixel of the middle row looks
// straight ahead at forward_offset + height / tan(pitch) = 0.01 + 0.05 / tan 65deg.
TEST(Camera, MiddleRayMeetsTheFloorAtTheLookAheadDistance) {
    const World world(parse_world("camera: {width: 3, height: 3}\n", "test.yaml", "."));
    double ahead = 0, left = 0;
    ASSERT_TRUE(world.camera().floor_point(1, 1, ahead, left));
    EXPECT_NEAR(ahead, 0.01 + 0.05 / std::tan(65 * M_PI / 180), 1e-12);
    EXPECT_NEAR(left, 0.0, 1e-15);
}

}  // namespace
}  // namespace sim

namespace sim {
namespace {

// The vector path and the portable path give the same bytes, at sizes with and without a
// remainder of eight pixels (the vector path's last block then overlaps the one before it;
// at 9 pixels by seven), from poses all over the default track.
class VectorPath : public ::testing::TestWithParam<std::pair<int, int>> {};

TEST_P(VectorPath, SameBytesAsPortablePath) {
    WorldDesc desc = parse_world(default_world_text(), "<default world>", ".");
    desc.camera_width_px = GetParam().first;
    desc.camera_height_px = GetParam().second;
    const World world(desc);
    const std::size_t n = static_cast<std::size_t>(desc.camera_width_px) * desc.camera_height_px;
    std::vector<std::uint32_t> a(n), b(n);
    for (int k = 0; k < 50; ++k) {
        const Pose2 pose{-0.6 + 0.025 * k, -0.8 + 0.017 * k, 0.37 * k};
        const int ca = world.camera().render(world.floor(), pose, a.data(), true);
        const int cb = world.camera().render(world.floor(), pose, b.data(), false);
        ASSERT_EQ(ca, cb) << k;
        ASSERT_EQ(a, b) << k;
    }
}

INSTANTIATE_TEST_SUITE_P(Camera, VectorPath,
                         ::testing::Values(std::pair{52, 39}, std::pair{1, 1}, std::pair{8, 2},
                                           std::pair{9, 5}, std::pair{67, 13}, std::pair{640, 480}),
                         [](const auto& info) {
                             return std::to_string(info.param.first) + "x" +
                                    std::to_string(info.param.second);
                         });

}  // namespace
}  // namespace sim
