#include "sim/track.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace sim {
namespace {

constexpr double kTwoPi = 2 * kPi;

// Bounds used to pass over segments are widened by this much [m], far more than the rounding
// of the exact formulas, so that no segment that could win is ever passed over.
constexpr double kBoundSlack_m = 1e-9;

double wrap_positive(double a) {
    a = std::fmod(a, kTwoPi);
    return a < 0 ? a + kTwoPi : a;
}

}  // namespace

Pose2 segment_end(const SegmentDesc& seg, const Pose2& p) {
    Pose2 e = p;
    if (seg.kind == SegmentDesc::Kind::straight) {
        e.x_m = p.x_m + seg.length_m * std::cos(p.heading_rad);
        e.z_m = p.z_m - seg.length_m * std::sin(p.heading_rad);
        return e;
    }
    const double side = seg.angle_rad > 0 ? 1.0 : -1.0;
    // Centre lies `radius` to the side the arc turns to; left of heading h is (-sin h, -cos h).
    const double cx = p.x_m - side * seg.radius_m * std::sin(p.heading_rad);
    const double cz = p.z_m - side * seg.radius_m * std::cos(p.heading_rad);
    e.heading_rad = p.heading_rad + seg.angle_rad;
    e.x_m = cx + side * seg.radius_m * std::sin(e.heading_rad);
    e.z_m = cz + side * seg.radius_m * std::cos(e.heading_rad);
    return e;
}

Closest closest_on_segment(const TrackSegment& seg, double x, double z) {
    if (!seg.is_arc) {
        const double t =
            std::clamp((x - seg.x0_m) * seg.dx + (z - seg.z0_m) * seg.dz, 0.0, seg.length_m);
        const double ex = x - (seg.x0_m + t * seg.dx);
        const double ez = z - (seg.z0_m + t * seg.dz);
        return {length2(ex, ez), seg.s0_m + t};
    }
    const double side = seg.angle_rad > 0 ? 1.0 : -1.0;
    const double vx = x - seg.cx_m;
    const double vz = z - seg.cz_m;
    const double rho = length2(vx, vz);
    const double alpha = std::atan2(side * vx, side * vz);
    const double sweep = std::fabs(seg.angle_rad);
    const double rel = wrap_positive(side * (alpha - seg.heading0_rad));
    if (sweep >= kTwoPi || rel <= sweep) {
        return {std::fabs(rho - seg.radius_m), seg.s0_m + rel * seg.radius_m};
    }
    // Outside the sweep: the nearer end point.
    const double d0 = length2(x - seg.first_x_m, z - seg.first_z_m);
    const double d1 = length2(x - seg.last_x_m, z - seg.last_z_m);
    return d0 <= d1 ? Closest{d0, seg.s0_m} : Closest{d1, seg.s0_m + seg.length_m};
}

Track::Track(const std::vector<LineDesc>& lines) {
    for (std::size_t li = 0; li < lines.size(); ++li) {
        Pose2 p = lines[li].start;
        double s = 0;
        for (const SegmentDesc& desc : lines[li].segments) {
            TrackSegment t;
            t.line = static_cast<int>(li);
            t.width_m = desc.width_m;
            t.color = desc.color;
            t.s0_m = s;
            if (desc.kind == SegmentDesc::Kind::straight) {
                t.x0_m = p.x_m;
                t.z0_m = p.z_m;
                t.dx = std::cos(p.heading_rad);
                t.dz = -std::sin(p.heading_rad);
                t.length_m = desc.length_m;
            } else {
                const double side = desc.angle_rad > 0 ? 1.0 : -1.0;
                t.is_arc = true;
                t.radius_m = desc.radius_m;
                t.angle_rad = desc.angle_rad;
                t.heading0_rad = p.heading_rad;
                t.cx_m = p.x_m - side * desc.radius_m * std::sin(p.heading_rad);
                t.cz_m = p.z_m - side * desc.radius_m * std::cos(p.heading_rad);
                t.length_m = desc.radius_m * std::fabs(desc.angle_rad);
                const double h1 = t.heading0_rad + t.angle_rad;
                t.first_x_m = t.cx_m + side * t.radius_m * std::sin(t.heading0_rad);
                t.first_z_m = t.cz_m + side * t.radius_m * std::cos(t.heading0_rad);
                t.last_x_m = t.cx_m + side * t.radius_m * std::sin(h1);
                t.last_z_m = t.cz_m + side * t.radius_m * std::cos(h1);
            }
            segments_.push_back(t);
            s += t.length_m;
            p = segment_end(desc, p);
        }
        lengths_.push_back(s);
        // Closed: ends within 1 mm of its start, facing the same way within about 1 degree.
        const Pose2& a = lines[li].start;
        const double turn =
            wrap_positive(p.heading_rad - a.heading_rad + 0.5 * kTwoPi) - 0.5 * kTwoPi;
        closed_.push_back(length2(p.x_m - a.x_m, p.z_m - a.z_m) < 1e-3 && std::fabs(turn) < 0.02);
    }
}

double Track::distance_to_line(double x, double z, int* nearest) const {
    double best = std::numeric_limits<double>::infinity();
    int best_i = -1;
    const auto visit = [&](int i) {
        const TrackSegment& seg = segments_[i];
        // Every point of an arc lies on its circle, so |rho - r| is a lower bound.
        if (seg.is_arc &&
            std::fabs(length2(x - seg.cx_m, z - seg.cz_m) - seg.radius_m) > best + kBoundSlack_m) {
            return;
        }
        const double d = closest_on_segment(seg, x, z).distance_m;
        if (d < best) {
            best = d;
            best_i = i;
        }
    };
    const int n = static_cast<int>(segments_.size());
    const int first = nearest != nullptr && *nearest >= 0 && *nearest < n ? *nearest : -1;
    if (first >= 0) {
        visit(first);
    }
    for (int i = 0; i < n; ++i) {
        if (i != first) {
            visit(i);
        }
    }
    if (nearest != nullptr) {
        *nearest = best_i;
    }
    return best;
}

double Track::locate(int line, double x, double z, double s_hint, double window) const {
    const double len = lengths_[line];
    double best_d = std::numeric_limits<double>::infinity();
    double best_s = s_hint;
    for (int pass = 0; pass < 2 && !std::isfinite(best_d); ++pass) {
        for (const TrackSegment& seg : segments_) {
            if (seg.line != line) {
                continue;
            }
            if (pass == 0 && window >= 0) {
                // The nearest that any point of the segment can lie to the hint.
                const double s1 = seg.s0_m + seg.length_m;
                double least = 0;
                if (s_hint < seg.s0_m || s_hint > s1) {
                    const double a = std::fabs(seg.s0_m - s_hint);
                    const double b = std::fabs(s1 - s_hint);
                    least = std::min(a, b);
                    if (closed_[line]) {
                        least = std::min(least, len - std::max(a, b));
                    }
                }
                if (least > window + kBoundSlack_m) {
                    continue;
                }
            }
            const Closest c = closest_on_segment(seg, x, z);
            if (pass == 0 && window >= 0) {
                double gap = std::fabs(c.s_m - s_hint);
                if (closed_[line]) {
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

}  // namespace sim
