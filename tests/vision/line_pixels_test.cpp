// The classifier on named colours, on small frames that pin the visiting order, and on every
// one of the 2^24 colours against a straightforward per-pixel formula written here, apart
// from the code under test.
#include "vision/line_pixels.hpp"
#include "vision/line_pixels_reference.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace {

struct PixelVerdict {
    bool marked;
    double hue;  // [deg]
};

// The per-pixel rule, one statement per step of its definition.
PixelVerdict classify(int red, int green, int blue) {
    const double R = red, G = green, B = blue;
    const double m = std::min({R, G, B});
    const double s = (R - m) + (G - m) + (B - m) + 0.000001;
    const double r = (R - m) / s, g = (G - m) / s, b = (B - m) / s;
    const double num = ((r - g) + (r - b)) * 0.5;
    const double rad = (r - g) * (r - g) + (r - b) * (g - b);
    const double root = std::sqrt(rad);
    const double theta = std::acos(num / (root + 0.0000001)) * 180 / 3.141592653589793;
    const double H = (b <= g) ? theta : 360 - theta;
    const bool in_window =
        (50 < H && H < 70) || (230 < H && H < 250) || (0 < H && H < 40) || (330 < H && H < 360);
    const double S = R + G + B;
    return {in_window && (S - m) / S > 0.7, H};
}

std::vector<unsigned char> frame_of(int width, int height, const std::vector<uint32_t>& rgb) {
    std::vector<unsigned char> frame(4 * static_cast<size_t>(width) * height);
    for (size_t i = 0; i < rgb.size(); ++i) {
        frame[4 * i + 0] = rgb[i] & 0xFF;          // blue
        frame[4 * i + 1] = (rgb[i] >> 8) & 0xFF;   // green
        frame[4 * i + 2] = (rgb[i] >> 16) & 0xFF;  // red
        frame[4 * i + 3] = 0x5A;                   // alpha, never read
    }
    return frame;
}

constexpr double kUnset = -12345.0;

// --- single colours ------------------------------------------------------------------------

struct ColourCase {
    const char* name;
    int r, g, b;
    bool marked;
    double hue;  // expected `color` when marked [deg], to 1e-5
};

void PrintTo(const ColourCase& c, std::ostream* os) {
    *os << c.name;
}

class NamedColour : public ::testing::TestWithParam<ColourCase> {};

TEST_P(NamedColour, MarksAndReportsHue) {
    const ColourCase& c = GetParam();
    auto frame = frame_of(1, 1, {static_cast<uint32_t>(c.r << 16 | c.g << 8 | c.b)});
    unsigned char mask[4] = {9, 9, 9, 9};
    double color = kUnset;

    const int count = detect_line_pixels(frame.data(), mask, 1, 1, &color);

    if (c.marked) {
        EXPECT_EQ(count, 1);
        EXPECT_EQ(mask[0], 0);
        EXPECT_EQ(mask[1], 250);
        EXPECT_EQ(mask[2], 250);
        EXPECT_EQ(mask[3], 250);
        EXPECT_NEAR(color, c.hue, 1e-5);
    } else {
        EXPECT_EQ(count, 0);
        EXPECT_EQ(mask[0] | mask[1] | mask[2] | mask[3], 0);
        EXPECT_EQ(color, kUnset);
    }
}

// Hues follow from theta = acos(((r-g)+(r-b))/2 / sqrt((r-g)^2+(r-b)(g-b))) on the offsets
// above the smallest channel (worked out to six decimals outside this code base); the
// small constants in the formula shift pure colours slightly off 0, 60 and 240.
INSTANTIATE_TEST_SUITE_P(
    Classifier, NamedColour,
    ::testing::Values(
        // Pure red: num/root = 1/(1+1e-7), acos of that is about 4.47e-4 rad = 0.0256 deg.
        ColourCase{"pure_red", 255, 0, 0, true, 0.025623},
        ColourCase{"pure_yellow", 255, 255, 0, true, 60.000007},
        ColourCase{"pure_blue", 0, 0, 255, true, 240.000003},
        ColourCase{"green_hue_120", 0, 255, 0, false, 0},
        ColourCase{"magenta_hue_300", 255, 0, 255, false, 0},
        ColourCase{"azure_hue_210", 0, 128, 255, false, 0},
        // Greys: every offset is 0, num = 0, acos(0) = 90 deg: outside all windows.
        ColourCase{"black", 0, 0, 0, false, 0}, ColourCase{"white", 255, 255, 255, false, 0},
        ColourCase{"mid_grey", 128, 128, 128, false, 0},
        // Saturation looks at min versus sum only, so a very dark pure red is marked.
        ColourCase{"darkest_red", 1, 0, 0, true, 0.025623},
        ColourCase{"dark_red", 40, 0, 0, true, 0.025623},
        // (S - m) / S: 383/511 = 0.7495 and 435/615 = 0.7073 pass; 455/655 = 0.6947 fails.
        ColourCase{"pink_0_7495", 255, 128, 128, true, 0.025623},
        ColourCase{"pink_0_7073", 255, 180, 180, true, 0.025623},
        ColourCase{"pink_0_6947", 255, 200, 200, false, 0},
        // 140 / 200 is exactly 0.7, which does not pass the strict test.
        ColourCase{"ratio_exactly_0_7", 80, 60, 60, false, 0},
        ColourCase{"orange_40_89", 255, 170, 0, false, 0},
        ColourCase{"rose_347", 255, 0, 60, true, 346.996054},
        // Window edges on fully saturated colours, one step apart.
        ColourCase{"red_edge_166_in", 255, 166, 0, true, 39.889404},
        ColourCase{"red_edge_167_out", 255, 167, 0, false, 0},
        ColourCase{"yellow_edge_207_out", 255, 207, 0, false, 0},
        ColourCase{"yellow_edge_208_in", 255, 208, 0, true, 50.027976},
        ColourCase{"yellow_edge_208r_in", 208, 255, 0, true, 69.972037},
        ColourCase{"yellow_edge_207r_out", 207, 255, 0, false, 0},
        ColourCase{"blue_edge_47g_in", 0, 47, 255, true, 230.027973},
        ColourCase{"blue_edge_48g_out", 0, 48, 255, false, 0},
        ColourCase{"blue_edge_47r_in", 47, 0, 255, true, 249.972036},
        ColourCase{"blue_edge_48r_out", 48, 0, 255, false, 0},
        ColourCase{"red_edge_127b_in", 255, 0, 127, true, 330.129707},
        ColourCase{"red_edge_128b_out", 255, 0, 128, false, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// --- frames --------------------------------------------------------------------------------

constexpr uint32_t kRed = 0xFF0000, kYellow = 0xFFFF00, kBlue = 0x0000FF, kGrey = 0x808080;

TEST(Classifier, ColorComesFromLargestColumnThenLargestRow) {
    // 3 x 2 frame, row-major:   (0,0) blue   (1,0) grey    (2,0) yellow
    //                           (0,1) grey   (1,1) red     (2,1) grey
    // Memory order ends on red at (1,1), but column order ends on yellow at (2,0).
    auto frame = frame_of(3, 2, {kBlue, kGrey, kYellow, kGrey, kRed, kGrey});
    std::vector<unsigned char> mask(4 * 6, 7);
    double color = kUnset;

    EXPECT_EQ(detect_line_pixels(frame.data(), mask.data(), 3, 2, &color), 3);
    EXPECT_NEAR(color, 60.000007, 1e-5);
    const std::vector<int> green = {250, 0, 250, 0, 250, 0};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(mask[4 * i + 1], green[i]) << "pixel " << i;
    }

    // Within the last marked column the larger row wins: blue under red in column 0.
    auto column = frame_of(1, 2, {kRed, kBlue});
    EXPECT_EQ(detect_line_pixels(column.data(), mask.data(), 1, 2, &color), 2);
    EXPECT_NEAR(color, 240.000003, 1e-5);
}

TEST(Classifier, FrameWithoutLinePixelsClearsMaskAndKeepsColor) {
    auto frame = frame_of(4, 3, std::vector<uint32_t>(12, kGrey));
    std::vector<unsigned char> mask(4 * 12, 0xEE);
    double color = 42.5;

    EXPECT_EQ(detect_line_pixels(frame.data(), mask.data(), 4, 3, &color), 0);
    EXPECT_EQ(color, 42.5);
    EXPECT_TRUE(std::all_of(mask.begin(), mask.end(), [](unsigned char v) { return v == 0; }));
}

struct EmptySize {
    const char* name;
    int width, height;
};

void PrintTo(const EmptySize& c, std::ostream* os) {
    *os << c.name;
}

class EmptyFrame : public ::testing::TestWithParam<EmptySize> {};

TEST_P(EmptyFrame, ReadsAndWritesNothing) {
    // A null frame would crash if it were read; the mask canary shows nothing is written.
    unsigned char mask[16];
    std::fill(std::begin(mask), std::end(mask), 0xCD);
    double color = 7.0;

    EXPECT_EQ(detect_line_pixels(nullptr, mask, GetParam().width, GetParam().height, &color), 0);
    EXPECT_EQ(color, 7.0);
    EXPECT_TRUE(std::all_of(std::begin(mask), std::end(mask), [](auto v) { return v == 0xCD; }));
}

INSTANTIATE_TEST_SUITE_P(Classifier, EmptyFrame,
                         ::testing::Values(EmptySize{"width_0", 0, 5}, EmptySize{"height_0", 5, 0},
                                           EmptySize{"both_0", 0, 0},
                                           EmptySize{"negative_width", -3, 2},
                                           EmptySize{"negative_height", 2, -3}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- every colour --------------------------------------------------------------------------

TEST(Classifier, EveryColourMatchesThePerPixelFormula) {
    // 4096 x 4096 pixels, pixel i has (R, G, B) = (i >> 16, i >> 8, i) & 0xFF: each colour once.
    constexpr int kSide = 4096;
    constexpr size_t kPixels = size_t{kSide} * kSide;
    std::vector<unsigned char> frame(4 * kPixels);
    for (size_t i = 0; i < kPixels; ++i) {
        frame[4 * i + 0] = i & 0xFF;
        frame[4 * i + 1] = (i >> 8) & 0xFF;
        frame[4 * i + 2] = (i >> 16) & 0xFF;
        frame[4 * i + 3] = 255;
    }
    std::vector<unsigned char> mask(4 * kPixels, 0x33);
    double color = kUnset;

    const int count = detect_line_pixels(frame.data(), mask.data(), kSide, kSide, &color);

    int expected_count = 0;
    size_t mismatches = 0;
    size_t hue_mismatches = 0;
    double expected_color = kUnset;
    for (int x = 0; x < kSide; ++x) {
        for (int y = 0; y < kSide; ++y) {
            const size_t i = size_t{static_cast<unsigned>(y)} * kSide + x;
            const PixelVerdict v = classify(frame[4 * i + 2], frame[4 * i + 1], frame[4 * i]);
            // The hue that would end in `color`, to the last bit (NaN only where the formula
            // gives NaN).
            const double hue =
                line_pixel_hue_degrees(frame[4 * i + 2], frame[4 * i + 1], frame[4 * i]);
            if (std::bit_cast<uint64_t>(hue) != std::bit_cast<uint64_t>(v.hue) &&
                !(std::isnan(hue) && std::isnan(v.hue)) && ++hue_mismatches <= 5) {
                ADD_FAILURE() << "hue differs at colour " << std::hex << i;
            }
            const unsigned char want = v.marked ? 250 : 0;
            if (v.marked) {
                ++expected_count;
                expected_color = v.hue;
            }
            if (mask[4 * i] != 0 || mask[4 * i + 1] != want || mask[4 * i + 2] != want ||
                mask[4 * i + 3] != want) {
                if (++mismatches <= 5) {
                    ADD_FAILURE() << "mask differs at colour " << std::hex << i;
                }
            }
        }
    }
    EXPECT_EQ(mismatches, 0u);
    EXPECT_EQ(hue_mismatches, 0u);
    EXPECT_EQ(expected_count, 5063901);
    EXPECT_EQ(count, expected_count);
    EXPECT_EQ(color, expected_color);  // bit for bit
}

}  // namespace
