#include "sim/track.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>

#include "sim/world_file.hpp"

namespace sim {
namespace {

// The straightforward twins: every segment's exact closest point, nothing passed over.
double distance_by_every_segment(const Track& t, double x, double z) {
    double best = std::numeric_limits<double>::infinity();
    for (const TrackSegment& seg : t.segments()) {
        best = std::min(best, closest_on_segment(seg, x, z).distance_m);
    }
    return best;
}

double locate_by_every_segment(const Track& t, int line, double x, double z, double s_hint,
                               double window) {
    const double len = t.line_length(line);
    double best_d = std::numeric_limits<double>::infinity();
    double best_s = s_hint;
    for (int pass = 0; pass < 2 && !std::isfinite(best_d); ++pass) {
        for (const TrackSegment& seg : t.segments()) {
            if (seg.line != line) {
                continue;
            }
            const Closest c = closest_on_segment(seg, x, z);
            if (pass == 0 && window >= 0) {
                double gap = std::fabs(c.s_m - s_hint);
                if (t.line_closed(line)) {
                    gap = std::min(gap, len - gap);
                }
                if (gap > window) {
                    continue;
                }
            }
            if (c.distance_m < best_d) {
                best_d = c.distance_m;
                best_s = c.s_m;
            }
        }
    }
    return best_s;
}

struct TrackCase {
    const char* name;
    const char* yaml;
};

// The default track (closed, straights and arcs of both turns), a closed figure eight whose
// branches cross, a full circle in one arc, and an open chain that doubles back on itself.
const TrackCase kTracks[] = {
    {"default", nullptr},
    {"figure_eight", R"(
lines:
  - start: {x: 0, z: 0, heading: 45}
    segments: [{straight: 0.3}, {arc: 270, radius: 0.3}, {straight: 0.6}, {arc: -270, radius: 0.3},
               {straight: 0.3}]
)"},
    {"full_circle", "lines: [{segments: [{arc: 360, radius: 0.2}]}]\n"},
    {"open_hairpin", R"(
lines:
  - start: {x: -0.5, z: 0.1, heading: 0}
    segments: [{straight: 0.6}, {arc: 180, radius: 0.05}, {straight: 0.6}, {arc: -90, radius: 0.3}]
  - start: {x: 0.3, z: -0.4, heading: 90}
    segments: [{straight: 0.8}]
)"},
};

Track track_of(const TrackCase& c) {
    const WorldDesc w = parse_world(c.yaml ? c.yaml : default_world_text(), "t.yaml", ".");
    return Track(w.lines);
}

class TrackQueries : public ::testing::TestWithParam<TrackCase> {};

// Points all over and near the lines, with the nearest segment of the last query (as a run
// passes it), none, or a stale or invalid one as the first guess.
TEST_P(TrackQueries, DistanceEqualsTheSmallestOverEverySegment) {
    const Track t = track_of(GetParam());
    const int n = static_cast<int>(t.segments().size());
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> coord(-1.0, 1.0);
    int hint = -1;
    for (int k = 0; k < 20000; ++k) {
        const double x = coord(rng), z = coord(rng);
        int guess = k % 4 == 0 ? -1 : k % 4 == 1 ? n + 3 : k % 4 == 2 ? hint : (k / 4) % n;
        const double d = t.distance_to_line(x, z, &guess);
        ASSERT_EQ(d, distance_by_every_segment(t, x, z)) << k;
        ASSERT_GE(guess, 0);
        ASSERT_EQ(closest_on_segment(t.segments()[guess], x, z).distance_m, d) << k;
        ASSERT_EQ(t.distance_to_line(x, z), d) << k;
        hint = guess;
    }
}

TEST_P(TrackQueries, LocateEqualsTheSearchOverEverySegment) {
    const Track t = track_of(GetParam());
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> coord(-1.0, 1.0);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const double windows[] = {-1.0, 0.0, 0.02, 0.1, 0.5};
    for (int k = 0; k < 20000; ++k) {
        const int line = k % (t.segments().back().line + 1);
        const double x = coord(rng), z = coord(rng);
        const double hint = unit(rng) * t.line_length(line);
        const double window = windows[k % 5];
        ASSERT_EQ(t.locate(line, x, z, hint, window),
                  locate_by_every_segment(t, line, x, z, hint, window))
            << k;
    }
}

INSTANTIATE_TEST_SUITE_P(Track, TrackQueries, ::testing::ValuesIn(kTracks),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sim
