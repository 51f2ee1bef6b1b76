#include "steering/steering_law.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct SteeringCase {
    const char* name;
    int pixels, centre;
    uint16_t width;
    double omegaL, omegaR, percent;
};

void PrintTo(const SteeringCase& c, std::ostream* os) {
    *os << c.name;
}

class SteeringLaw : public ::testing::TestWithParam<SteeringCase> {};

TEST_P(SteeringLaw, SpeedsAndPercentError) {
    const SteeringCase& c = GetParam();
    const WheelSpeeds s = compute_wheel_speeds(c.pixels, c.centre, c.width);
    // Six decimals is what the console and the script show.
    EXPECT_NEAR(s.omegaL, c.omegaL, 5e-7);
    EXPECT_NEAR(s.omegaR, c.omegaR, 5e-7);
    EXPECT_NEAR(s.percent_error, c.percent, 5e-7);
}

// e = (width / 2 - centre) / width, k = 7e, omegaL = (1.5 - k) * 0.5 * 6.28,
// omegaR = (k + 1.5) * 0.5 * 6.28, each held within +-6.28, percent = 100e.
INSTANTIATE_TEST_SUITE_P(
    Steering, SteeringLaw,
    ::testing::Values(
        // At most 9 pixels: search speed whatever the centre.
        SteeringCase{"nine_pixels_search", 9, 0, 52, 4.71, 4.71, 0.0},
        SteeringCase{"no_pixels_search", 0, 51, 52, 4.71, 4.71, 0.0},
        SteeringCase{"negative_count_search", -1, 3, 52, 4.71, 4.71, 0.0},
        // e = 0: 1.5 * 0.5 * 6.28 = 4.71 on both wheels.
        SteeringCase{"ten_pixels_centred", 10, 26, 52, 4.71, 4.71, 0.0},
        // e = 26/52 = 0.5: omegaL = -2 * 0.5 * 6.28 = -6.28 (not limited), omegaR 15.7 -> 6.28.
        SteeringCase{"width_52_centre_0", 10, 0, 52, -6.28, 6.28, 50.0},
        // e = -25/52: k = -3.365385, omegaR = -1.865385 * 3.14 = -5.857308.
        SteeringCase{"width_52_centre_51", 10, 51, 52, 6.28, -5.857308, -48.076923},
        // half = 19, e = 19/39: k = 3.410256, omegaL = -1.910256 * 3.14 = -5.998205.
        SteeringCase{"width_39_centre_0", 10, 0, 39, -5.998205, 6.28, 48.717949},
        // e = 2/52: k = 0.269231, omegaL = 1.230769 * 3.14, omegaR = 1.769231 * 3.14.
        SteeringCase{"width_52_centre_24", 10, 24, 52, 3.864615, 5.555385, 3.846154},
        // e = -4/52: k = -0.538462, omegaL = 2.038462 * 3.14 -> 6.28, omegaR = 0.961538 * 3.14.
        SteeringCase{"width_52_centre_30", 10, 30, 52, 6.28, 3.019231, -7.692308},
        // Centres outside the frame reach the lower limit: e = 126/52, omegaL far below -6.28.
        SteeringCase{"centre_far_left_lower_limit", 10, -100, 52, -6.28, 6.28, 242.307692},
        SteeringCase{"centre_far_right_lower_limit", 10, 200, 52, 6.28, -6.28, -334.615385}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Steering, ExactValuesWhereTheFormulaIsExact) {
    // (1.5 - 3.5) * 0.5 * 6.28 is -6.28 to the bit: the lower limit is not what produced it.
    const WheelSpeeds s = compute_wheel_speeds(10, 0, 52);
    EXPECT_EQ(s.omegaL, -6.28);
    EXPECT_EQ(s.omegaR, 6.28);
    EXPECT_EQ(s.percent_error, 50.0);
    const WheelSpeeds centred = compute_wheel_speeds(10, 26, 52);
    EXPECT_EQ(centred.omegaL, 1.5 * 0.5 * 6.28);
    EXPECT_EQ(centred.omegaR, 1.5 * 0.5 * 6.28);
}

// The law written out once more, step by step, for a bit-for-bit comparison: a different
// grouping (e = half / width - centre / width, say) changes last bits that the table above
// cannot see.
WheelSpeeds law_as_written(int centre, uint16_t width) {
    const int half = width / 2;
    const double e = (double(half) - double(centre)) / double(width);
    const double k = 7.0 * e;
    double left = ((1.5 - k) * 0.5) * 6.28;
    double right = ((k + 1.5) * 0.5) * 6.28;
    left = left > 6.28 ? 6.28 : (left < -6.28 ? -6.28 : left);
    right = right > 6.28 ? 6.28 : (right < -6.28 ? -6.28 : right);
    return {left, right, e * 100.0};
}

TEST(Steering, BitForBitOverEveryCentreOfManyWidths) {
    std::vector<int> widths;
    for (int w = 1; w <= 700; ++w)
        widths.push_back(w);
    widths.insert(widths.end(), {1279, 1280, 1920, 4095, 65535});
    for (const int w : widths) {
        const auto width = static_cast<uint16_t>(w);
        for (int centre = -2; centre <= w + 1; ++centre) {
            const WheelSpeeds got = compute_wheel_speeds(10, centre, width);
            const WheelSpeeds want = law_as_written(centre, width);
            ASSERT_EQ(got.omegaL, want.omegaL) << "width " << w << ", centre " << centre;
            ASSERT_EQ(got.omegaR, want.omegaR) << "width " << w << ", centre " << centre;
            ASSERT_EQ(got.percent_error, want.percent_error)
                << "width " << w << ", centre " << centre;
        }
    }
}

}  // namespace
