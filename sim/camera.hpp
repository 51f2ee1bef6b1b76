// The robot's camera: a pinhole pitched down, rigidly mounted, looking at a flat floor.
//
// Idea: every pixel's ray meets the floor at a point that is fixed in the robot's frame, so
// those points are computed once, when the world loads. The camera does not roll, so all rays
// of one pixel row descend equally steeply and meet the floor at the same depth: the row's
// floor points lie evenly spaced on a straight line. A row is therefore kept as its first
// point and the step from one pixel to the next (robot frame), plus the mip level whose texel
// matches the row's pixel footprint. Each frame transforms those two vectors by the robot's
// pose and then walks the row in fixed point, one bilinear texture sample per pixel.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/floor_texture.hpp"
#include "sim/world_file.hpp"

namespace sim {

struct CameraRow {
    bool hits_floor = false;  // false for rows at or above the horizon
    double forward0_m = 0;    // first pixel's floor point: ahead of the robot's centre
    double left0_m = 0;       // ... and to its left
    double dforward_m = 0;    // step to the next pixel of the row
    double dleft_m = 0;
    int level = 0;  // mip level sampled by this row
};

class CameraModel {
  public:
    CameraModel(const WorldDesc& world, const FloorTexture& floor);

    int width() const { return width_; }
    int height() const { return height_; }
    const std::vector<CameraRow>& rows() const { return rows_; }

    // Floor point of pixel (px, py) in the robot frame [m]: ahead, left. False above the
    // horizon.
    bool floor_point(int px, int py, double& forward_m, double& left_m) const;

    // Renders the frame seen from `pose` into `frame` (width x height words; bytes blue,
    // green, red, alpha = 255). Returns the number of pixels at least half covered by a line.
    // `use_vector` false keeps to the portable path (the vector path, where the processor has
    // one, gives the same bytes).
    int render(const FloorTexture& floor, const Pose2& pose, std::uint32_t* frame,
               bool use_vector = true) const;

  private:
    int width_ = 0, height_ = 0;
    std::vector<CameraRow> rows_;
};

}  // namespace sim
