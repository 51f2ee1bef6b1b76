#include "sim/top_view.hpp"

#include <algorithm>
#include <cmath>

namespace sim {

PathPicture::PathPicture(const WorldDesc& w, const FloorTexture& floor) : floor_(floor) {
    width_ = std::max(1, static_cast<int>(std::ceil(w.floor_size_z_m / w.top_view_texel_m)));
    height_ = std::max(1, static_cast<int>(std::ceil(w.floor_size_x_m / w.top_view_texel_m)));
    texel_z_m_ = w.floor_size_z_m / width_;
    texel_x_m_ = w.floor_size_x_m / height_;
    x_max_m_ = floor.x_max_m();
    z_min_m_ = floor.z_min_m();
    path_.assign(static_cast<std::size_t>(width_) * height_, 0);
}

void PathPicture::mark(double x, double z) {
    const double i = std::floor((z - z_min_m_) / texel_z_m_);
    const double j = std::floor((x_max_m_ - x) / texel_x_m_);
    if (i >= 0 && j >= 0 && i < width_ && j < height_) {
        path_[static_cast<std::size_t>(j) * width_ + static_cast<std::size_t>(i)] = 1;
    }
}

void PathPicture::add(double x, double z) {
    if (!has_last_) {
        mark(x, z);
    } else {
        // Points along the segment no more than half a pixel apart.
        const double len = std::hypot(x - last_x_, z - last_z_);
        // Capped in double before the conversion: a far jump must not overflow the int.
        const int n = static_cast<int>(
            std::min(100000.0, 1 + std::floor(2 * len / std::min(texel_x_m_, texel_z_m_))));
        for (int k = 1; k <= n; ++k) {
            const double t = static_cast<double>(k) / n;
            mark(last_x_ + t * (x - last_x_), last_z_ + t * (z - last_z_));
        }
    }
    has_last_ = true;
    last_x_ = x;
    last_z_ = z;
}

bool PathPicture::write(const std::string& file, std::string& error) const {
    RgbaImage img;
    img.width = width_;
    img.height = height_;
    img.pixels.resize(static_cast<std::size_t>(width_) * height_ * 4);
    for (int j = 0; j < height_; ++j) {
        for (int i = 0; i < width_; ++i) {
            const double x = x_max_m_ - (j + 0.5) * texel_x_m_;
            const double z = z_min_m_ + (i + 0.5) * texel_z_m_;
            const std::size_t k = static_cast<std::size_t>(j) * width_ + i;
            std::uint8_t* p = &img.pixels[4 * k];
            if (path_[k]) {
                p[0] = 0;  // the path in black
                p[1] = 0;
                p[2] = 0;
            } else {
                const std::uint32_t t = floor_.sample(0, x, z);
                p[0] = static_cast<std::uint8_t>(t >> 16);
                p[1] = static_cast<std::uint8_t>(t >> 8);
                p[2] = static_cast<std::uint8_t>(t);
            }
            p[3] = 255;
        }
    }
    return write_png(file, img, error);
}

}  // namespace sim
