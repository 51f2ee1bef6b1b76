// A picture of a run: the floor seen from above (z to the right, x up, as Robot.m plots it) with
// the path of the robot's centre drawn on it. The path is marked in a fixed-size bitmap as the
// run goes, so memory does not grow with the run's length.
#pragma once

#include <string>
#include <vector>

#include "sim/floor_texture.hpp"

namespace sim {

class PathPicture {
  public:
    PathPicture(const WorldDesc& world, const FloorTexture& floor);

    // Extends the path to (x, z) from the previous point.
    void add(double x_m, double z_m);

    // Writes the PNG. Returns false and sets `error` on failure.
    bool write(const std::string& path, std::string& error) const;

  private:
    void mark(double x_m, double z_m);

    const FloorTexture& floor_;
    int width_, height_;
    double texel_x_m_, texel_z_m_, x_max_m_, z_min_m_;
    std::vector<unsigned char> path_;
    bool has_last_ = false;
    double last_x_ = 0, last_z_ = 0;
};

}  // namespace sim
