// The lines of a world as exact geometry: chains of straight and arc segments in the floor
// plane. Used to draw the floor and to measure how well the robot follows: the distance from a
// point to the nearest line's centre, and the progress along a closed line (laps).
#pragma once

#include <cmath>
#include <vector>

#include "sim/world_file.hpp"

namespace sim {

// sqrt(a^2 + b^2): the library's hypot guards against overflow at several times the cost,
// and our lengths are metres on a floor.
inline double length2(double a, double b) {
    return std::sqrt(a * a + b * b);
}

struct TrackSegment {
    bool is_arc = false;
    // Straight: from (x0, z0) along the unit vector (dx, dz) for `length_m`.
    // Arc: centre (cx, cz), radius, points c + side * r * (sin a, cos a) for a from
    // `heading0_rad` to heading0_rad + angle_rad (side = +1 for left turns, -1 for right).
    double x0_m = 0, z0_m = 0, dx = 0, dz = 0;
    double cx_m = 0, cz_m = 0, radius_m = 0, heading0_rad = 0, angle_rad = 0;
    double first_x_m = 0, first_z_m = 0;  // arc: its first and last point
    double last_x_m = 0, last_z_m = 0;
    double length_m = 0;
    double s0_m = 0;  // arc length from the start of its line
    double width_m = 0;
    Rgb color;
    int line = 0;  // index of its line
};

// The closest point of a segment to a query point.
struct Closest {
    double distance_m = 0;  // to the segment's centre curve
    double s_m = 0;         // arc length of the closest point from the start of its line
};

Closest closest_on_segment(const TrackSegment& seg, double x_m, double z_m);

// End pose of a segment given its start pose (exact).
Pose2 segment_end(const SegmentDesc& seg, const Pose2& start);

class Track {
  public:
    explicit Track(const std::vector<LineDesc>& lines);

    bool empty() const { return segments_.empty(); }
    const std::vector<TrackSegment>& segments() const { return segments_; }

    // Distance [m] from (x, z) to the nearest line's centre: the smallest distance to any
    // segment. Arcs whose circle alone is farther than the best so far are passed over without
    // their exact distance (it needs an atan2); `nearest`, when given, names the segment to try
    // first (e.g. the nearest one last time, -1 for none) and receives the nearest one.
    double distance_to_line(double x_m, double z_m, int* nearest = nullptr) const;

    // Length [m] of line `line` and whether it ends where it starts, facing the same way.
    double line_length(int line) const { return lengths_[line]; }
    bool line_closed(int line) const { return closed_[line]; }

    // The arc length [m] along line `line` of the point closest to (x, z) among those within
    // `window_m` of `s_hint_m` (measured around the loop for a closed line), so that a robot
    // is followed through a crossing instead of jumping to the other branch. A negative window
    // searches the whole line. Segments whose whole range of arc length lies outside the
    // window are passed over without their exact closest point.
    double locate(int line, double x_m, double z_m, double s_hint_m, double window_m) const;

  private:
    std::vector<TrackSegment> segments_;
    std::vector<double> lengths_;
    std::vector<bool> closed_;
};

}  // namespace sim
