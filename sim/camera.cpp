#include "sim/camera.hpp"

#include <algorithm>
#include <cmath>

namespace sim {
namespace {

constexpr std::uint32_t kOpaque = 0xFF000000u;
constexpr double kFixedOne = 4294967296.0;  // 2^32: texture coordinates in 32.32 fixed point

}  // namespace

CameraModel::CameraModel(const WorldSpec& w, const FloorTexture& floor)
    : width_(w.camera_width_px), height_(w.camera_height_px) {
    const double focal_px = 0.5 * width_ / std::tan(0.5 * w.camera_fov_rad);
    const double sp = std::sin(w.camera_pitch_rad);
    const double cp = std::cos(w.camera_pitch_rad);
    const double texel0 = 0.5 * (floor.levels()[0].texel_x_m + floor.levels()[0].texel_z_m);
    const int top_level = static_cast<int>(floor.levels().size()) - 1;
    rows_.resize(height_);
    for (int py = 0; py < height_; ++py) {
        // Ray of pixel (px, py), camera axes: forward, right, down; pixel centres at +0.5.
        //   d = fwd + xc * right + yc * down, with fwd = (cos p, 0, -sin p) and
        //   down = (-sin p, 0, -cos p) in the robot frame (ahead, left, up); right = -left.
        const double yc = (py + 0.5 - 0.5 * height_) / focal_px;
        const double d_ahead = cp - yc * sp;
        const double d_up = -sp - yc * cp;
        CameraRow& row = rows_[py];
        if (!(d_up < -1e-9)) {
            continue;
        }
        const double t = w.camera_mount_height_m / -d_up;  // ray length per unit of d
        if (!(t * std::hypot(d_ahead, 1.0) < 1e4)) {
            continue;  // so far away that it is as good as the horizon
        }
        row.hits_floor = true;
        const double xc0 = (0.5 - 0.5 * width_) / focal_px;
        row.forward0_m = w.camera_forward_offset_m + t * d_ahead;
        row.left0_m = -t * xc0;
        row.dforward_m = 0;
        row.dleft_m = -t / focal_px;
    }
    // Footprint: the larger of the spacing along the row and that to the neighbouring rows.
    for (int py = 0; py < height_; ++py) {
        CameraRow& row = rows_[py];
        if (!row.hits_floor) {
            continue;
        }
        double foot = std::fabs(row.dleft_m);
        for (int nb : {py - 1, py + 1}) {
            if (nb >= 0 && nb < height_) {
                foot = std::max(foot, rows_[nb].hits_floor
                                          ? std::fabs(rows_[nb].forward0_m - row.forward0_m)
                                          : HUGE_VAL);
            }
        }
        // The finest level whose texel is not larger than the footprint (clamped in double:
        // next to the horizon the footprint may be infinite).
        const double level = std::floor(std::log2(foot / texel0));
        row.level = static_cast<int>(std::clamp(level, 0.0, static_cast<double>(top_level)));
    }
}

bool CameraModel::floor_point(int px, int py, double& forward_m, double& left_m) const {
    const CameraRow& row = rows_[py];
    forward_m = row.forward0_m + px * row.dforward_m;
    left_m = row.left0_m + px * row.dleft_m;
    return row.hits_floor;
}

int CameraModel::render(const FloorTexture& floor, const Pose2& pose, std::uint32_t* frame) const {
    const double ch = std::cos(pose.heading_rad);
    const double sh = std::sin(pose.heading_rad);
    int covered = 0;
    for (int py = 0; py < height_; ++py) {
        const CameraRow& row = rows_[py];
        std::uint32_t* out = frame + static_cast<std::size_t>(py) * width_;
        if (!row.hits_floor) {
            std::fill(out, out + width_, kMissTexel | kOpaque);
            continue;
        }
        const MipLevel& l = floor.levels()[row.level];
        // Robot frame (ahead a, left b) to floor: x = px + a cos h - b sin h,
        // z = pz - a sin h - b cos h; then to padded texel coordinates u (along z), v (-x).
        const double x0 = pose.x_m + row.forward0_m * ch - row.left0_m * sh;
        const double z0 = pose.z_m - row.forward0_m * sh - row.left0_m * ch;
        const double dx = row.dforward_m * ch - row.dleft_m * sh;
        const double dz = -row.dforward_m * sh - row.dleft_m * ch;
        const double u0 = (z0 - floor.z_min_m()) / l.texel_z_m + 0.5;
        const double v0 = (floor.x_max_m() - x0) / l.texel_x_m + 0.5;
        const double du = dz / l.texel_z_m;
        const double dv = -dx / l.texel_x_m;
        const double u_end = u0 + (width_ - 1) * du;
        const double v_end = v0 + (width_ - 1) * dv;
        const double umax = l.width + 1;
        const double vmax = l.height + 1;
        const bool inside = u0 >= 0 && u0 < umax && v0 >= 0 && v0 < vmax && u_end >= 0 &&
                            u_end < umax && v_end >= 0 && v_end < vmax;
        if (inside) {
            // The whole row lies on the floor (it is a straight segment and both ends do):
            // walk it in 32.32 fixed point without per-pixel tests. The end points were
            // tested in floating point; keep a margin of one step's rounding by clamping.
            std::int64_t U = static_cast<std::int64_t>(u0 * kFixedOne);
            std::int64_t V = static_cast<std::int64_t>(v0 * kFixedOne);
            const std::int64_t dU = static_cast<std::int64_t>(du * kFixedOne);
            const std::int64_t dV = static_cast<std::int64_t>(dv * kFixedOne);
            const std::int64_t Umax = static_cast<std::int64_t>(l.width) << 32;
            const std::int64_t Vmax = static_cast<std::int64_t>(l.height) << 32;
            const std::uint32_t* tex = l.texels.data();
            const std::size_t stride = static_cast<std::size_t>(l.stride);
            for (int px = 0; px < width_; ++px) {
                const std::int64_t Uc = std::clamp<std::int64_t>(U, 0, Umax + 0xFFFFFFFFLL);
                const std::int64_t Vc = std::clamp<std::int64_t>(V, 0, Vmax + 0xFFFFFFFFLL);
                const std::uint32_t* p =
                    tex + static_cast<std::size_t>(Vc >> 32) * stride + (Uc >> 32);
                const std::uint32_t t = blend_texels(p[0], p[1], p[stride], p[stride + 1],
                                                     static_cast<std::uint32_t>(Uc >> 24) & 0xFF,
                                                     static_cast<std::uint32_t>(Vc >> 24) & 0xFF);
                covered += static_cast<int>(t >> 31);
                out[px] = t | kOpaque;
                U += dU;
                V += dV;
            }
            continue;
        }
        for (int px = 0; px < width_; ++px) {
            const double x = x0 + px * dx;
            const double z = z0 + px * dz;
            const std::uint32_t t = floor.sample(row.level, x, z);
            covered += static_cast<int>(t >> 31);
            out[px] = t | kOpaque;
        }
    }
    return covered;
}

}  // namespace sim
