// One loaded world (constant) and one run in it (mutable state).
//
// World holds everything derived from the world file at load: the lines' geometry, the floor
// texture and the camera's precomputed rows. Simulation holds what a step changes: the pose,
// robot time, the commanded wheel speeds, each sensor's latest sample and the run's figures.
// Nothing here reads a clock; the step length is passed in.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/camera.hpp"
#include "sim/floor_texture.hpp"
#include "sim/kinematics.hpp"
#include "sim/top_view.hpp"
#include "sim/track.hpp"
#include "sim/world_file.hpp"

namespace sim {

class World {
  public:
    // Builds the world; throws WorldFileError when it cannot be (e.g. no memory for it).
    explicit World(WorldDesc desc);

    const WorldDesc& desc() const { return desc_; }
    const Track& track() const { return track_; }
    const FloorTexture& floor() const { return floor_; }
    const CameraModel& camera() const { return camera_; }
    std::int64_t duration_ms() const { return duration_ms_; }
    int display_width() const;
    int display_height() const;

  private:
    WorldDesc desc_;
    Track track_;
    FloorTexture floor_;
    CameraModel camera_;
    std::int64_t duration_ms_;
};

// Sampled devices. Each takes a reading of the robot's pose at the steps its period falls on.
enum class Sensor : int { camera = 0, gps, tof, ps0, ls0 = ps0 + 8, count = ls0 + 8 };

// The figures of a run, as the summary reports them.
struct RunFigures {
    std::int64_t steps = 0;
    double robot_time_s = 0;
    double distance_m = 0;      // path length of the robot's centre
    bool laps_counted = false;  // the robot started near a closed line
    double laps = 0;            // progress along that line in line lengths
    std::int64_t measured_steps = 0;
    double mean_line_distance_m = 0;  // robot centre to the nearest line's centre
    double max_line_distance_m = 0;
    bool line_distance_to_centre = true;  // false: to the nearest line texel (image floors)
    std::int64_t frames = 0;              // camera frames rendered
    double no_line_time_s = 0;            // frames with 9 or fewer line pixels, in time
};

class Simulation {
  public:
    explicit Simulation(const World& world);

    const World& world() const { return world_; }

    // Advances the robot by `duration_ms` with the wheel speeds commanded so far. Returns false,
    // and changes nothing, once the world's duration has elapsed.
    bool step(int duration_ms);

    const Pose2& pose() const { return pose_; }
    std::int64_t time_ms() const { return time_ms_; }

    // Wheel speed command [rad/s], held to the motor limit; acts from the next step on.
    void set_wheel_speed(int wheel /* 0 left, 1 right */, double omega_rad_s);

    // Period [ms] for a sensor; 0 or less disables it. The first reading comes at the first step
    // that ends a whole period after enabling.
    void enable(Sensor s, int period_ms);

    // The current frame (grey before the camera's first reading). Rendered when first asked for
    // after a reading, from the pose of that reading.
    const std::uint32_t* camera_frame();

    // [x, y, z] of the latest reading, NaN before the first.
    const double* gps_values() const { return gps_; }

    // Raw readings (NaN before the first): proximity i, light i, time of flight [mm].
    double proximity(int i) const;
    double light(int i) const;
    double tof_mm() const;

    // The display: pixels last pasted, clipped; starts black and opaque.
    int display_width() const { return display_w_; }
    int display_height() const { return display_h_; }
    const std::vector<std::uint32_t>& display_pixels() const { return display_; }
    void paste(const std::uint32_t* pixels, int width, int height, int x, int y);

    RunFigures figures() const;

    // The summary lines for stderr; `wall_s` is the run's wall-clock time.
    std::string summary(double wall_s) const;

    // Writes the top view, if the world asks for one. Returns false and sets `error` on failure.
    bool write_top_view(std::string& error) const;

  private:
    struct Device {
        int period_ms = 0;
        std::int64_t next_due_ms = 0;
        bool sampled = false;
        Pose2 pose;
    };
    double gaussian();
    void take_readings();
    Pose2 sensor_pose(const Pose2& robot, int i) const;

    const World& world_;
    Pose2 pose_;
    std::int64_t time_ms_ = 0;
    std::array<double, 2> command_{0.0, 0.0};
    std::array<Device, static_cast<int>(Sensor::count)> devices_{};
    double gps_[3];
    std::vector<std::uint32_t> frame_;
    bool frame_stale_ = false;
    std::vector<std::uint32_t> display_;
    int display_w_ = 0, display_h_ = 0;
    std::uint64_t rng_;

    // Run figures.
    std::int64_t steps_ = 0;
    double distance_m_ = 0;
    int lap_line_ = -1;
    double lap_s_m_ = 0;
    double progress_m_ = 0;
    std::int64_t measured_ = 0;
    double line_distance_sum_m_ = 0;
    double line_distance_max_m_ = 0;
    int nearest_segment_ = -1;  // the segment nearest the robot at the last step, tried first
    std::int64_t frames_ = 0;
    std::int64_t no_line_ms_ = 0;
    std::unique_ptr<PathPicture> picture_;
};

}  // namespace sim
