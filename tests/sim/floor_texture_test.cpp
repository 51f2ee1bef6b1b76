#include "sim/floor_texture.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>

#include "sim/world.hpp"

namespace sim {
namespace {

// The straightforward rounded mean, one byte at a time.
std::uint32_t mean_by_bytes(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
    std::uint32_t out = 0;
    for (int k = 0; k < 4; ++k) {
        const auto byte = [k](std::uint32_t t) { return (t >> (8 * k)) & 0xFF; };
        out |= ((byte(a) + byte(b) + byte(c) + byte(d) + 2) / 4) << (8 * k);
    }
    return out;
}

struct MeanCase {
    const char* name;
    std::uint32_t a, b, c, d;
};

// All-255 bytes give lane sums of 1020 + 2, the most a lane can hold; 2 + 2 + 1 + 1 = 6 is a
// half that rounds up (1.5 -> 2); 1 + 1 + 0 + 0 rounds to 1 (0.5 + 0.5 / 4 -> (2 + 2) / 4).
const MeanCase kMeans[] = {
    {"all_zero", 0, 0, 0, 0},
    {"all_full", 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu},
    {"half_rounds_up", 0x02020202u, 0x02020202u, 0x01010101u, 0x01010101u},
    {"quarter_sums", 0x01010101u, 0x01010101u, 0, 0},
    {"one_full_texel", 0xFFFFFFFFu, 0, 0, 0},
    {"full_next_to_empty_bytes", 0xFF00FF00u, 0x00FF00FFu, 0xFF00FF00u, 0x00FF00FFu},
};

class MeanOfFour : public ::testing::TestWithParam<MeanCase> {};

TEST_P(MeanOfFour, EqualsTheByteByByteMean) {
    const MeanCase& m = GetParam();
    EXPECT_EQ(mean_of_four(m.a, m.b, m.c, m.d), mean_by_bytes(m.a, m.b, m.c, m.d));
}

INSTANTIATE_TEST_SUITE_P(FloorTexture, MeanOfFour, ::testing::ValuesIn(kMeans),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FloorTexture, MeanOfFourEqualsTheByteByByteMeanOnRandomTexels) {
    std::mt19937 rng(7);
    for (int k = 0; k < 1000000; ++k) {
        const std::uint32_t a = rng(), b = rng(), c = rng(), d = rng();
        ASSERT_EQ(mean_of_four(a, b, c, d), mean_by_bytes(a, b, c, d)) << k;
    }
}

// Every texel of every halved level is the rounded mean of the 2 x 2 texels below it, the last
// row or column taken twice where the level below has an odd size; the borders keep the miss
// colour. Floors of odd and even sizes, with lines and a crossing.
class Halving : public ::testing::TestWithParam<const char*> {};

TEST_P(Halving, EachLevelIsTheMeanOfTheOneBelow) {
    const World world(parse_world(GetParam(), "test.yaml", "."));
    const auto& levels = world.floor().levels();
    ASSERT_GT(levels.size(), 1u);
    for (std::size_t k = 1; k < levels.size(); ++k) {
        const MipLevel& lo = levels[k - 1];
        const MipLevel& up = levels[k];
        ASSERT_EQ(up.width, (lo.width + 1) / 2);
        ASSERT_EQ(up.height, (lo.height + 1) / 2);
        for (int j = -1; j <= up.height; ++j) {
            for (int i = -1; i <= up.width; ++i) {
                if (i < 0 || j < 0 || i == up.width || j == up.height) {
                    ASSERT_EQ(up.at(i, j), kMissTexel) << k << ": " << i << "," << j;
                    continue;
                }
                const int i1 = std::min(2 * i + 1, lo.width - 1);
                const int j1 = std::min(2 * j + 1, lo.height - 1);
                ASSERT_EQ(up.at(i, j), mean_by_bytes(lo.at(2 * i, 2 * j), lo.at(i1, 2 * j),
                                                     lo.at(2 * i, j1), lo.at(i1, j1)))
                    << k << ": " << i << "," << j;
            }
        }
    }
}

const char* const kOddFloor = R"(
floor: {size: [1.001, 0.733], center: [0.1, -0.05], texel: 0.0023}
lines:
  - start: {x: -0.3, z: -0.2, heading: 30}
    width: 0.03
    segments: [{straight: 0.4}, {arc: 200, radius: 0.1, color: blue}, {straight: 0.3, width: 0.01}]
  - start: {x: 0.0, z: -0.3, heading: 80}
    color: yellow
    segments: [{arc: -90, radius: 0.2}, {straight: 0.5}]
  - start: {x: 0.4, z: 0.3, heading: 180}
    segments: [{straight: 2}]
)";

INSTANTIATE_TEST_SUITE_P(FloorTexture, Halving,
                         ::testing::Values(kOddFloor, "floor: {size: [0.4, 0.4]}\n",
                                           "floor: {size: [0.0071, 0.0053]}\n"),
                         [](const auto& info) {
                             return std::string(info.index == 0   ? "odd_with_lines"
                                                : info.index == 1 ? "even_bare"
                                                                  : "tiny_odd");
                         });

// An image with alpha is composited over the floor colour as floor * (1 - a) + rgb * a, per
// channel, rounded. A uniform 2x2 image over a 2x2-texel floor, so filtering plays no part.
struct AlphaCase {
    const char* name;
    Rgb floor;
    std::uint8_t rgba[4];
    Rgb expected;
};

const AlphaCase kAlphaCases[] = {
    {"opaque", {200, 200, 200}, {230, 40, 40, 255}, {230, 40, 40}},
    {"transparent", {200, 200, 200}, {230, 40, 40, 0}, {200, 200, 200}},
    // 255 * 128 / 255 = 128; an image colour divided by the alpha would pass 255.
    {"half_white_over_black", {0, 0, 0}, {255, 255, 255, 128}, {128, 128, 128}},
    // 255 * 127 / 255 = 127
    {"half_black_over_white", {255, 255, 255}, {0, 0, 0, 128}, {127, 127, 127}},
    // 200 * 191 / 255 = 149.80, plus 100, 50, 200 times 64 / 255 = 25.10, 12.55, 50.20
    {"quarter_colour_over_grey", {200, 200, 200}, {100, 50, 200, 64}, {175, 162, 200}},
};

class ImageAlpha : public ::testing::TestWithParam<AlphaCase> {};

TEST_P(ImageAlpha, CompositesOverTheFloorColour) {
    const AlphaCase& c = GetParam();
    WorldDesc w = parse_world("floor: {size: [0.01, 0.01], texel: 0.005}\n", "test.yaml", ".");
    w.floor_color = c.floor;
    w.floor_image_pixels.width = 2;
    w.floor_image_pixels.height = 2;
    for (int k = 0; k < 4; ++k) {
        w.floor_image_pixels.pixels.insert(w.floor_image_pixels.pixels.end(), c.rgba, c.rgba + 4);
    }
    const World world(std::move(w));
    const MipLevel& l0 = world.floor().levels()[0];
    ASSERT_EQ(l0.width, 2);
    ASSERT_EQ(l0.height, 2);
    for (int j = 0; j < 2; ++j) {
        for (int i = 0; i < 2; ++i) {
            const std::uint32_t t = l0.at(i, j);
            EXPECT_EQ((t >> 16) & 0xFF, c.expected.r) << i << "," << j;
            EXPECT_EQ((t >> 8) & 0xFF, c.expected.g) << i << "," << j;
            EXPECT_EQ(t & 0xFF, c.expected.b) << i << "," << j;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(FloorTexture, ImageAlpha, ::testing::ValuesIn(kAlphaCases),
                         [](const auto& info) { return std::string(info.param.name); });

std::uint64_t fingerprint(const FloorTexture& floor) {
    std::uint64_t h = 0xcbf29ce484222325ULL;  // FNV-1a over every byte of every level
    for (const MipLevel& l : floor.levels()) {
        for (const std::uint32_t t : l.texels) {
            for (int k = 0; k < 4; ++k) {
                h = (h ^ ((t >> (8 * k)) & 0xFF)) * 0x100000001b3ULL;
            }
        }
    }
    return h;
}

// Pinned fingerprints of whole textures, all levels: the lines' drawing (coverage, the segment
// that owns a texel where lines meet or cross, colour blend) and the halving. Pinned from the
// texture builder that drew each segment over a whole-floor coverage buffer; the builder that
// draws one texel row at a time gives the same bytes. Update only for an intended change.
TEST(FloorTexture, GoldenTextures) {
    EXPECT_EQ(fingerprint(World(parse_world(default_world_text(), "d.yaml", ".")).floor()),
              0x61b7739d6131a216ULL);
    EXPECT_EQ(fingerprint(World(parse_world(kOddFloor, "test.yaml", ".")).floor()),
              0x19bfb1f776eac9f0ULL);
}

}  // namespace
}  // namespace sim
