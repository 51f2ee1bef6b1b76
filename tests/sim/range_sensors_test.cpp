#include "sim/range_sensors.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "sim/world.hpp"

namespace sim {
namespace {

// The controller's lookup: the first segment with reading[k] <= v <= reading[k+1] gives
// ((v - reading[k]) * (distance[k+1] - distance[k])) / (reading[k+1] - reading[k]) + distance[k].
double table_distance(double v) {
    for (std::size_t k = 0; k + 1 < kProximityTable.size(); ++k) {
        const CalibrationPoint& a = kProximityTable[k];
        const CalibrationPoint& b = kProximityTable[k + 1];
        if (a.reading <= v && v <= b.reading) {
            return ((v - a.reading) * (b.distance_m - a.distance_m)) / (b.reading - a.reading) +
                   a.distance_m;
        }
    }
    return -1.0;
}

class ProximityRoundTrip : public ::testing::TestWithParam<double> {};

TEST_P(ProximityRoundTrip, TableGivesTheDistanceBack) {
    const double d = GetParam();
    EXPECT_NEAR(table_distance(proximity_reading(d)), d, 1e-12);
}

// Table points, points inside each segment, and both ends of the range.
INSTANTIATE_TEST_SUITE_P(
    Distances, ProximityRoundTrip,
    ::testing::Values(0.0, 0.001, 0.005, 0.0075, 0.01, 0.012694, 0.015, 0.0175, 0.02, 0.025, 0.03,
                      0.034542, 0.04, 0.05, 0.055, 0.06, 0.065, 0.07),
    [](const auto& info) {
        return "d_" + std::to_string(static_cast<int>(std::lround(info.param * 1e6))) + "um";
    });

TEST(Proximity, BeyondTheRangeReadsTheFarEnd) {
    EXPECT_EQ(proximity_reading(0.2), 67.19);
    EXPECT_EQ(proximity_reading(HUGE_VAL), 67.19);
}

// A robot facing a wall 5 cm ahead of its centre: ps0 and ps7 look 17 degrees off the heading
// from the body's edge (radius 0.037 m), so their ray meets the wall after
// (0.05 - 0.037 cos 17deg) / cos 17deg = 0.05 / cos 17deg - 0.037 m.
TEST(Proximity, WallAheadReadsThroughTheTable) {
    WorldDesc w;
    w.walls.push_back(WallDesc{0.05, -1.0, 0.05, 1.0});
    const World world(w);
    Simulation sim(world);
    sim.enable(Sensor::ps0, 16);
    sim.enable(static_cast<Sensor>(static_cast<int>(Sensor::ps0) + 7), 16);
    sim.enable(Sensor::tof, 16);
    ASSERT_TRUE(sim.step(16));
    const double expected = 0.05 / std::cos(17 * M_PI / 180) - 0.037;
    EXPECT_NEAR(table_distance(sim.proximity(0)), expected, 1e-9);
    EXPECT_NEAR(table_distance(sim.proximity(7)), expected, 1e-9);
    EXPECT_NEAR(sim.tof_mm(), (0.05 - 0.037) * 1000, 1e-9);
}

// One light 1 m straight above the floor point 1 m ahead of a light sensor facing it:
// distance^2 = 1 + (1 - 0.03)^2 ... computed here from the geometry, reading 4095 - E.
TEST(Light, FallsAsLightRises) {
    WorldDesc w;
    EXPECT_EQ(light_reading(w, 0, 0, 1, 0), 4095.0);  // darkness
    w.ambient_light = 100;
    EXPECT_EQ(light_reading(w, 0, 0, 1, 0), 3995.0);
    w.lights.push_back(LightDesc{1.0, 0.0, 1.03, 1000.0});
    // Light at (1, 1.03 - 0.03 = 1 up): d^2 = 2, cosine = 1 / sqrt(2).
    EXPECT_NEAR(light_reading(w, 0, 0, 1, 0), 4095 - 100 - 1000 / std::sqrt(2.0) / 2, 1e-9);
    EXPECT_EQ(light_reading(w, 0, 0, -1, 0), 3995.0);  // facing away
    w.ambient_light = 1e6;
    EXPECT_EQ(light_reading(w, 0, 0, 1, 0), 0.0);
}

}  // namespace
}  // namespace sim
