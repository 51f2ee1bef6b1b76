#include "sim/world.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "sim/range_sensors.hpp"

namespace sim {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// A frame with this many line pixels or fewer counts as "no line in view" (the controller's
// own threshold for following).
constexpr int kLineInViewPixels = 9;
// Laps are counted on the closed line nearest the start if it is this close [m].
constexpr double kLapLineReach = 0.05;
// How far along the line [m] the robot may move between two steps and still be followed.
constexpr double kLocateWindow = 0.1;
// How far [m] to look for a line texel on floors given as an image.
constexpr double kImageLineSearch = 0.25;

}  // namespace

World::World(WorldDesc desc)
    : desc_(std::move(desc)),
      track_(desc_.lines),
      floor_(desc_, track_),
      camera_(desc_, floor_),
      duration_ms_(std::llround(desc_.duration_s * 1000.0)) {}

int World::display_width() const {
    return desc_.display_width_px > 0 ? desc_.display_width_px : desc_.camera_width_px;
}
int World::display_height() const {
    return desc_.display_height_px > 0 ? desc_.display_height_px : desc_.camera_height_px;
}

Simulation::Simulation(const World& world)
    : world_(world),
      pose_(world.desc().robot_start),
      gps_{kNaN, kNaN, kNaN},
      rng_(world.desc().noise_seed) {
    const WorldDesc& w = world.desc();
    frame_.assign(static_cast<std::size_t>(w.camera_width_px) * w.camera_height_px,
                  kMissTexel | 0xFF000000u);
    display_w_ = world.display_width();
    display_h_ = world.display_height();
    display_.assign(static_cast<std::size_t>(display_w_) * display_h_, 0xFF000000u);
    const Track& t = world.track();
    if (!t.empty()) {
        double best = kLapLineReach;
        for (const TrackSegment& seg : t.segments()) {
            const Closest c = closest_on_segment(seg, pose_.x_m, pose_.z_m);
            if (t.line_closed(seg.line) && c.distance_m <= best) {
                best = c.distance_m;
                lap_line_ = seg.line;
            }
        }
        if (lap_line_ >= 0) {
            lap_s_m_ = t.locate(lap_line_, pose_.x_m, pose_.z_m, 0, -1);
        }
    }
    if (!w.top_view_png.empty()) {
        picture_ = std::make_unique<PathPicture>(w, world.floor());
        picture_->add(pose_.x_m, pose_.z_m);
    }
}

double Simulation::gaussian() {
    // splitmix64 for uniform bits, Box-Muller for the normal: the same numbers on every
    // platform, unlike the standard library's distributions.
    auto next = [this] {
        std::uint64_t z = (rng_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        z ^= z >> 31;
        return (static_cast<double>(z >> 11) + 0.5) / 9007199254740992.0;
    };
    const double u1 = next();
    const double u2 = next();
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
}

void Simulation::set_wheel_speed(int wheel, double omega) {
    const double limit = world_.desc().max_wheel_speed_rad_s;
    command_[wheel] = std::isnan(omega) ? 0.0 : std::clamp(omega, -limit, limit);
}

void Simulation::enable(Sensor s, int period_ms) {
    Device& d = devices_[static_cast<int>(s)];
    d.period_ms = period_ms > 0 ? period_ms : 0;
    d.next_due_ms = time_ms_ + d.period_ms;
}

bool Simulation::step(int duration_ms) {
    if (time_ms_ >= world_.duration_ms()) {
        return false;
    }
    const WorldDesc& w = world_.desc();
    const double dt = duration_ms / 1000.0;
    double left = command_[0];
    double right = command_[1];
    if (w.wheel_speed_noise > 0) {
        left *= 1.0 + w.wheel_speed_noise * gaussian();
        right *= 1.0 + w.wheel_speed_noise * gaussian();
    }
    pose_ = advance_pose(pose_, left, right, {w.wheel_radius_m, w.axle_length_m}, dt);
    time_ms_ += duration_ms;
    ++steps_;
    distance_m_ += std::fabs(w.wheel_radius_m * (left + right) / 2 * dt);

    const Track& t = world_.track();
    if (lap_line_ >= 0) {
        const double len = t.line_length(lap_line_);
        const double s = t.locate(lap_line_, pose_.x_m, pose_.z_m, lap_s_m_, kLocateWindow);
        double ds = s - lap_s_m_;
        ds -= len * std::round(ds / len);  // around the loop, the short way
        progress_m_ += ds;
        lap_s_m_ = s;
    }
    double d = kNaN;
    if (!t.empty()) {
        d = t.distance_to_line(pose_.x_m, pose_.z_m, &nearest_segment_);
    } else if (!w.floor_image.empty()) {
        d = world_.floor().distance_to_line_texel(pose_.x_m, pose_.z_m, kImageLineSearch);
    }
    if (!std::isnan(d)) {
        ++measured_;
        line_distance_sum_m_ += d;
        line_distance_max_m_ = std::max(line_distance_max_m_, d);
    }
    if (picture_) {
        picture_->add(pose_.x_m, pose_.z_m);
    }
    take_readings();
    return true;
}

void Simulation::take_readings() {
    for (int i = 0; i < static_cast<int>(Sensor::count); ++i) {
        Device& d = devices_[i];
        if (d.period_ms <= 0 || time_ms_ < d.next_due_ms) {
            continue;
        }
        while (d.next_due_ms <= time_ms_) {
            d.next_due_ms += d.period_ms;
        }
        d.sampled = true;
        d.pose = pose_;
        if (i == static_cast<int>(Sensor::camera)) {
            frame_stale_ = true;
        } else if (i == static_cast<int>(Sensor::gps)) {
            gps_[0] = pose_.x_m;
            gps_[1] = world_.desc().wheel_radius_m;  // the axle's height
            gps_[2] = pose_.z_m;
        }
    }
}

const std::uint32_t* Simulation::camera_frame() {
    if (frame_stale_) {
        frame_stale_ = false;
        const Device& d = devices_[static_cast<int>(Sensor::camera)];
        const int covered = world_.camera().render(world_.floor(), d.pose, frame_.data());
        ++frames_;
        if (covered <= kLineInViewPixels) {
            no_line_ms_ += d.period_ms;
        }
        const double sigma = world_.desc().camera_noise;
        if (sigma > 0) {
            for (std::uint32_t& px : frame_) {
                std::uint32_t out = 0xFF000000u;
                for (int c = 0; c < 3; ++c) {
                    const double v = ((px >> (8 * c)) & 0xFF) + sigma * gaussian();
                    out |= static_cast<std::uint32_t>(std::clamp(std::lround(v), 0L, 255L))
                           << (8 * c);
                }
                px = out;
            }
        }
    }
    return frame_.data();
}

Pose2 Simulation::sensor_pose(const Pose2& robot, int i) const {
    const double a = robot.heading_rad + kSensorAngles[i];
    const double r = world_.desc().body_radius_m;
    return Pose2{robot.x_m + r * std::cos(a), robot.z_m - r * std::sin(a), a};
}

double Simulation::proximity(int i) const {
    const Device& d = devices_[static_cast<int>(Sensor::ps0) + i];
    if (!d.sampled) {
        return kNaN;
    }
    const Pose2 s = sensor_pose(d.pose, i);
    const double dist = ray_to_wall(world_.desc().walls, s.x_m, s.z_m, std::cos(s.heading_rad),
                                    -std::sin(s.heading_rad), HUGE_VAL);
    return proximity_reading(dist);
}

double Simulation::light(int i) const {
    const Device& d = devices_[static_cast<int>(Sensor::ls0) + i];
    if (!d.sampled) {
        return kNaN;
    }
    const Pose2 s = sensor_pose(d.pose, i);
    return light_reading(world_.desc(), s.x_m, s.z_m, std::cos(s.heading_rad),
                         -std::sin(s.heading_rad));
}

double Simulation::tof_mm() const {
    const Device& d = devices_[static_cast<int>(Sensor::tof)];
    if (!d.sampled) {
        return kNaN;
    }
    const WorldDesc& w = world_.desc();
    const Pose2& p = d.pose;
    const double ox = p.x_m + w.body_radius_m * std::cos(p.heading_rad);
    const double oz = p.z_m - w.body_radius_m * std::sin(p.heading_rad);
    return 1000.0 * ray_to_wall(w.walls, ox, oz, std::cos(p.heading_rad), -std::sin(p.heading_rad),
                                w.tof_range_m);
}

void Simulation::paste(const std::uint32_t* pixels, int width, int height, int x, int y) {
    // Clip the rectangle [x, x + width) x [y, y + height) to the display.
    const int x0 = std::max(0, x);
    const int y0 = std::max(0, y);
    const long long x1 = std::min<long long>(display_w_, static_cast<long long>(x) + width);
    const long long y1 = std::min<long long>(display_h_, static_cast<long long>(y) + height);
    if (x1 <= x0 || y1 <= y0) {
        return;  // wholly off the display: nothing to copy
    }
    for (long long row = y0; row < y1; ++row) {
        const std::uint32_t* src =
            pixels + (row - y) * static_cast<long long>(width) + (x0 - static_cast<long long>(x));
        std::copy(src, src + (x1 - x0), display_.data() + row * display_w_ + x0);
    }
}

RunFigures Simulation::figures() const {
    RunFigures f;
    f.steps = steps_;
    f.robot_time_s = time_ms_ / 1000.0;
    f.distance_m = distance_m_;
    f.laps_counted = lap_line_ >= 0;
    f.laps = lap_line_ >= 0 ? progress_m_ / world_.track().line_length(lap_line_) : 0;
    f.measured_steps = measured_;
    f.mean_line_distance_m = measured_ > 0 ? line_distance_sum_m_ / measured_ : kNaN;
    f.max_line_distance_m = measured_ > 0 ? line_distance_max_m_ : kNaN;
    f.line_distance_to_centre = !world_.track().empty();
    f.frames = frames_;
    f.no_line_time_s = no_line_ms_ / 1000.0;
    return f;
}

std::string Simulation::summary(double wall_s) const {
    const RunFigures f = figures();
    char buf[1024];
    std::string out;
    std::snprintf(buf, sizeof buf, "world: %s\n", world_.desc().source_name.c_str());
    out += buf;
    std::snprintf(buf, sizeof buf,
                  "run: %lld steps, robot time %.3f s, wall time %.3f s, %.0fx real time\n",
                  static_cast<long long>(f.steps), f.robot_time_s, wall_s,
                  wall_s > 0 ? f.robot_time_s / wall_s : 0.0);
    out += buf;
    if (f.laps_counted) {
        std::snprintf(buf, sizeof buf, "path: %.3f m travelled, %lld laps completed (%.2f)\n",
                      f.distance_m, static_cast<long long>(std::floor(std::max(0.0, f.laps))),
                      f.laps);
    } else {
        std::snprintf(buf, sizeof buf, "path: %.3f m travelled, laps not counted\n", f.distance_m);
    }
    out += buf;
    if (f.measured_steps > 0) {
        std::snprintf(buf, sizeof buf,
                      "line: distance from centre to %s: mean %.1f mm, max %.1f mm\n",
                      f.line_distance_to_centre ? "nearest line centre" : "nearest line pixel",
                      1000 * f.mean_line_distance_m, 1000 * f.max_line_distance_m);
        out += buf;
    }
    std::snprintf(buf, sizeof buf, "camera: %lld frames, no line in view for %.3f s\n",
                  static_cast<long long>(f.frames), f.no_line_time_s);
    out += buf;
    return out;
}

bool Simulation::write_top_view(std::string& error) const {
    if (!picture_) {
        return true;
    }
    return picture_->write(world_.desc().top_view_png, error);
}

}  // namespace sim
