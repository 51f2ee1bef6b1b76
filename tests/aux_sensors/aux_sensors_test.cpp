#include "aux_sensors/aux_sensors.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/robot_double.hpp"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

class AuxSensorsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        reset_aux_sensors();
        robot_double::Script script;
        script.steps = 1000;
        script.readings = {
            {"ps0", 67.19},  {"ps1", 1000.0}, {"ps2", 66.0},   {"ps3", 4095.0}, {"ps4", 200.0},
            {"ps5", kNaN},   {"ps6", 4095.5}, {"ps7", 3000.0}, {"ls0", 5000.0}, {"ls1", 1000.0},
            {"ls2", 4095.0}, {"ls3", 0.0},    {"ls4", kNaN},   {"ls5", kInf},   {"ls6", -kInf},
            {"ls7", 4094.5}, {"tof", 123.5},
        };
        robot_double::reset(script);
    }
};

TEST_F(AuxSensorsTest, SetUpFindsAndEnablesEachPairThenTheTimeOfFlightSensor) {
    init_aux_sensors(32);

    // ps0, ls0, ps1, ls1, ... ps7, ls7, tof; each looked up, then enabled with its own tag.
    std::vector<std::string> expected;
    for (int i = 0; i < 8; ++i) {
        const std::string digit = std::to_string(i);
        expected.push_back("wb_robot_get_device(\"ps" + digit + "\")");
        expected.push_back("wb_distance_sensor_enable(" +
                           std::to_string(robot_double::kFirstPs + i) + ", 32)");
        expected.push_back("wb_robot_get_device(\"ls" + digit + "\")");
        expected.push_back("wb_light_sensor_enable(" + std::to_string(robot_double::kFirstLs + i) +
                           ", 32)");
    }
    expected.push_back("wb_robot_get_device(\"tof\")");
    expected.push_back("wb_distance_sensor_enable(30, 32)");
    EXPECT_EQ(robot_double::call_texts(), expected);
}

TEST_F(AuxSensorsTest, ReadingsGoThroughTheTableAndTheInversionSensorBySensor) {
    init_aux_sensors(16);
    double distances[8];
    double lights[8];
    read_proximity_distances(distances);
    read_light_values(lights);

    // Proximity: points 0 and 9 of the table, outside (66.0, NaN, 4095.5) -> -1.0, and the
    // in-between values worked out in InterpolateTableTest below.
    EXPECT_EQ(distances[0], 0.07);
    EXPECT_NEAR(distances[1], 0.012694, 5e-7);
    EXPECT_EQ(distances[2], -1.0);
    EXPECT_NEAR(distances[3], 0.0, 1e-15);
    EXPECT_NEAR(distances[4], 0.034542, 5e-7);
    EXPECT_EQ(distances[5], -1.0);
    EXPECT_EQ(distances[6], -1.0);
    EXPECT_NEAR(distances[7], 0.002791, 5e-7);

    // Light: 4095 - v, clipped at 0.
    EXPECT_EQ(lights[0], 0.0);
    EXPECT_EQ(lights[1], 3095.0);
    EXPECT_EQ(lights[2], 0.0);
    EXPECT_EQ(lights[3], 4095.0);
    EXPECT_TRUE(std::isnan(lights[4]));
    EXPECT_EQ(lights[5], 0.0);
    EXPECT_EQ(lights[6], kInf);
    EXPECT_EQ(lights[7], 0.5);

    EXPECT_EQ(read_tof(), 123.5);

    // Each sensor is read through its own tag, in index order.
    std::vector<long long> ps_read;
    std::vector<long long> ls_read;
    for (const robot_double::Call& c : robot_double::calls()) {
        if (c.name == "wb_distance_sensor_get_value") {
            ps_read.push_back(c.ints[0]);
        } else if (c.name == "wb_light_sensor_get_value") {
            ls_read.push_back(c.ints[0]);
        }
    }
    EXPECT_EQ(ps_read, (std::vector<long long>{10, 11, 12, 13, 14, 15, 16, 17, 30}));
    EXPECT_EQ(ls_read, (std::vector<long long>{20, 21, 22, 23, 24, 25, 26, 27}));
}

// --- interpolate_table ------------------------------------------------------------------------

struct LookupCase {
    const char* name;
    double v;
    double expected;
    double tolerance;
};

void PrintTo(const LookupCase& c, std::ostream* os) {
    *os << c.name;
}

class InterpolateTableTest : public ::testing::TestWithParam<LookupCase> {};

TEST_P(InterpolateTableTest, ProximityTable) {
    const LookupCase& c = GetParam();
    const double d = interpolate_table(proximity_table, c.v);
    if (c.tolerance == 0.0) {
        EXPECT_EQ(d, c.expected);
    } else {
        EXPECT_NEAR(d, c.expected, c.tolerance);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lookups, InterpolateTableTest,
    ::testing::Values(
        // On point 0 the product is 0, so the result is exactly that point's distance.
        LookupCase{"first_point", 67.19, 0.07, 0.0},
        // An inner point falls in the lower segment, (104.09, 0.06)-(120.0, 0.05):
        // (15.91 * -0.01) / 15.91 + 0.06 = 0.05 up to rounding.
        LookupCase{"inner_point", 120.0, 0.05, 1e-15},
        // Last segment's upper end: (1961.67 * -0.005) / 1961.67 + 0.005 = 0.
        LookupCase{"last_point", 4095.0, 0.0, 1e-15},
        // (601.46, 0.015)-(1465.63, 0.01): 398.54 * -0.005 / 864.17 + 0.015 = 0.0126941.
        LookupCase{"reading_1000", 1000.0, 0.012694, 5e-7},
        // (158.03, 0.04)-(234.93, 0.03): 41.97 * -0.01 / 76.9 + 0.04 = 0.0345423.
        LookupCase{"reading_200", 200.0, 0.034542, 5e-7},
        // (2133.33, 0.005)-(4095.0, 0.0): 866.67 * -0.005 / 1961.67 + 0.005 = 0.0027910.
        LookupCase{"reading_3000", 3000.0, 0.002791, 5e-7},
        LookupCase{"below_table", 66.0, -1.0, 0.0}, LookupCase{"above_table", 4095.5, -1.0, 0.0},
        LookupCase{"nan", kNaN, -1.0, 0.0}, LookupCase{"plus_infinity", kInf, -1.0, 0.0},
        LookupCase{"minus_infinity", -kInf, -1.0, 0.0}),
    [](const ::testing::TestParamInfo<LookupCase>& info) { return std::string(info.param.name); });

TEST(InterpolateTableOrder, ProductComesBeforeTheQuotient) {
    // Segment (0, 0)-(7, 1) and v = 5: the product 5 * 1 is exact, so product-then-quotient
    // rounds once, to the double nearest 5/7. Taking the slope 1/7 first rounds twice and
    // lands on a neighbouring double; the fixture is only useful while the two differ.
    const CalibrationTable table = {{0.0, 0.0},  {7.0, 1.0},  {8.0, 2.0},  {9.0, 3.0},
                                    {10.0, 4.0}, {11.0, 5.0}, {12.0, 6.0}, {13.0, 7.0},
                                    {14.0, 8.0}, {15.0, 9.0}};
    const double five_sevenths = 5.0 / 7.0;
    const volatile double slope = 1.0 / 7.0;
    ASSERT_NE(slope * 5.0, five_sevenths);
    EXPECT_EQ(interpolate_table(table, 5.0), five_sevenths);
}

struct ZeroWidthCase {
    const char* name;
    CalibrationTable table;
    double v;
    double expected;
};

void PrintTo(const ZeroWidthCase& c, std::ostream* os) {
    *os << c.name;
}

class InterpolateZeroWidthTest : public ::testing::TestWithParam<ZeroWidthCase> {};

TEST_P(InterpolateZeroWidthTest, SegmentIsSkipped) {
    const ZeroWidthCase& c = GetParam();
    EXPECT_EQ(interpolate_table(c.table, c.v), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Tables, InterpolateZeroWidthTest,
                         ::testing::Values(
                             // Segment 0 is 10..10: v = 10 moves on to segment 1, (10, 0.5)-(20,
                             // 0.25), whose lower end gives 0.5.
                             ZeroWidthCase{"leading_zero_width",
                                           {{10.0, 1.0},
                                            {10.0, 0.5},
                                            {20.0, 0.25},
                                            {30.0, 0.125},
                                            {40.0, 0.0625},
                                            {50.0, 0.0},
                                            {60.0, -0.5},
                                            {70.0, -1.5},
                                            {80.0, -2.5},
                                            {90.0, -3.5}},
                                           10.0,
                                           0.5},
                             // Every segment has zero width: nothing holds v.
                             ZeroWidthCase{"all_zero_width",
                                           {{5.0, 9.0},
                                            {5.0, 8.0},
                                            {5.0, 7.0},
                                            {5.0, 6.0},
                                            {5.0, 5.0},
                                            {5.0, 4.0},
                                            {5.0, 3.0},
                                            {5.0, 2.0},
                                            {5.0, 1.0},
                                            {5.0, 0.0}},
                                           5.0,
                                           -1.0}),
                         [](const ::testing::TestParamInfo<ZeroWidthCase>& info) {
                             return std::string(info.param.name);
                         });

// --- invert_light_value -----------------------------------------------------------------------

struct LightCase {
    const char* name;
    double v;
    double expected;  // NaN: expect NaN
};

void PrintTo(const LightCase& c, std::ostream* os) {
    *os << c.name;
}

class InvertLightTest : public ::testing::TestWithParam<LightCase> {};

TEST_P(InvertLightTest, FullScaleMinusReadingClippedAtZero) {
    const LightCase& c = GetParam();
    const double inverted = invert_light_value(c.v);
    if (std::isnan(c.expected)) {
        EXPECT_TRUE(std::isnan(inverted)) << inverted;
    } else {
        EXPECT_EQ(inverted, c.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Readings, InvertLightTest,
    ::testing::Values(LightCase{"dark", 0.0, 4095.0}, LightCase{"reading_1000", 1000.0, 3095.0},
                      LightCase{"full_scale", 4095.0, 0.0},
                      LightCase{"just_below_full_scale", 4094.5, 0.5},
                      LightCase{"above_full_scale", 5000.0, 0.0},
                      // 4095 - NaN is NaN, which is not negative: it passes through.
                      LightCase{"nan", kNaN, kNaN},
                      // 4095 - inf = -inf, negative: clipped.
                      LightCase{"plus_infinity", kInf, 0.0},
                      // 4095 - (-inf) = +inf, not negative: kept.
                      LightCase{"minus_infinity", -kInf, kInf}),
    [](const ::testing::TestParamInfo<LightCase>& info) { return std::string(info.param.name); });

// --- period_elapsed ---------------------------------------------------------------------------

struct TriggerCase {
    const char* name;
    double period;                // [s]
    std::vector<bool> results;    // one call per 16 ms step
    std::vector<int> time_reads;  // wb_robot_get_time calls made by each of those calls
};

void PrintTo(const TriggerCase& c, std::ostream* os) {
    *os << c.name;
}

class PeriodElapsedTest : public ::testing::TestWithParam<TriggerCase> {
  protected:
    void SetUp() override {
        reset_aux_sensors();
        robot_double::Script script;
        script.steps = 1000;
        robot_double::reset(script);
    }
};

TEST_P(PeriodElapsedTest, OneCallPerStep) {
    const TriggerCase& c = GetParam();
    std::vector<bool> results;
    std::vector<int> time_reads;
    for (std::size_t i = 0; i < c.results.size(); ++i) {
        ASSERT_NE(wb_robot_step(16), -1);
        const std::size_t before = robot_double::calls().size();
        results.push_back(period_elapsed(c.period));
        time_reads.push_back(static_cast<int>(robot_double::calls().size() - before));
    }
    EXPECT_EQ(results, c.results);
    EXPECT_EQ(time_reads, c.time_reads);
}

// Robot time after step k is 0.016 k s. A restarting call (the first, and the one after each
// true) takes its start and its "now" in the same step, so it sees 0 s elapsed and reads the
// time twice.
INSTANTIATE_TEST_SUITE_P(
    Periods, PeriodElapsedTest,
    ::testing::Values(
        // 0 elapsed, then 0.016 > 0: fires every other call.
        TriggerCase{"zero", 0.0, {false, true, false, true, false, true}, {2, 1, 2, 1, 2, 1}},
        // 0, 0.016, 0.032 s elapsed: only the third exceeds 0.03, then it starts over.
        TriggerCase{
            "thirty_ms", 0.03, {false, false, true, false, false, true}, {2, 1, 1, 2, 1, 1}},
        // 0 > -1 already: true on every call, each one restarting.
        TriggerCase{"negative", -1.0, {true, true, true, true, true, true}, {2, 2, 2, 2, 2, 2}},
        // No comparison with NaN holds: never true, so it never restarts either.
        TriggerCase{"nan", kNaN, {false, false, false, false, false, false}, {2, 1, 1, 1, 1, 1}},
        TriggerCase{
            "infinite", kInf, {false, false, false, false, false, false}, {2, 1, 1, 1, 1, 1}}),
    [](const ::testing::TestParamInfo<TriggerCase>& info) { return std::string(info.param.name); });

}  // namespace
