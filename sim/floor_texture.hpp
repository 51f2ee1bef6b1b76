// The floor as one texture, built once when the world loads: the floor colour or image, with
// every line drawn over it (anti-aliased), and a pyramid of halved copies (mip levels) so that
// the camera can sample at about its own pixel size and thin lines do not flicker.
//
// Texels are 32-bit words whose bytes in memory are blue, green, red and a "line" byte: 255
// where a line covers the texel fully, 0 on bare floor. The camera forces that byte to 255 in
// its frames, so the frame's alpha is always 255, but on the way it counts covered pixels.
//
// Layout: column i runs along +z from the floor's z_min edge, row j along -x from its x_max
// edge, so the texture reads like the top view with z to the right and x up. Each level keeps
// a border of one texel of the miss colour on every side, so that bilinear sampling needs no
// edge tests inside the floor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/png_image.hpp"
#include "sim/track.hpp"
#include "sim/world_file.hpp"

namespace sim {

// Neutral grey seen where a ray misses the floor; no line.
constexpr std::uint32_t kMissTexel = 0x00808080u;

inline std::uint32_t pack_texel(Rgb c, std::uint8_t line) {
    return static_cast<std::uint32_t>(c.b) | static_cast<std::uint32_t>(c.g) << 8 |
           static_cast<std::uint32_t>(c.r) << 16 | static_cast<std::uint32_t>(line) << 24;
}

// Storage for texels; allocate_texel_bytes throws std::bad_alloc when there is none.
void* allocate_texel_bytes(std::size_t bytes);
void free_texel_bytes(void* p, std::size_t bytes) noexcept;

// Allocator of texel storage. Blocks of 2 MiB and more are aligned to 2 MiB and, on Linux,
// offered to the kernel as huge pages: a texture of a few MiB is then faulted in a couple of
// steps instead of one per 4 KiB, and the camera, whose rows cross many texel rows, needs
// far fewer address translations. Smaller blocks come from the ordinary heap.
template <typename T>
struct TexelAllocator {
    using value_type = T;
    TexelAllocator() = default;
    template <typename U>
    TexelAllocator(const TexelAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) { return static_cast<T*>(allocate_texel_bytes(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) noexcept { free_texel_bytes(p, n * sizeof(T)); }
    friend bool operator==(const TexelAllocator&, const TexelAllocator&) { return true; }
};

struct MipLevel {
    int width = 0;   // texels along z, without the border
    int height = 0;  // texels along x, without the border
    int stride = 0;  // width + 2
    double texel_z_m = 0;
    double texel_x_m = 0;
    // (width + 2) x (height + 2), border included
    std::vector<std::uint32_t, TexelAllocator<std::uint32_t>> texels;

    // Texel (i, j) of the floor, -1 <= i <= width and -1 <= j <= height (the border).
    std::uint32_t at(int i, int j) const {
        return texels[static_cast<std::size_t>(j + 1) * stride + (i + 1)];
    }
};

class FloorTexture {
  public:
    // Throws WorldFileError when the texture cannot be allocated.
    FloorTexture(const WorldDesc& world, const Track& track);

    const std::vector<MipLevel>& levels() const { return levels_; }
    double x_max_m() const { return x_max_; }
    double z_min_m() const { return z_min_; }

    // Bilinear sample of level `level` at floor point (x, z); kMissTexel off the floor.
    std::uint32_t sample(int level, double x_m, double z_m) const;

    // Distance [m] from (x, z) to the nearest level-0 texel that is at least half covered by
    // a line, searched up to `max_m`; returns max_m when there is none that close.
    double distance_to_line_texel(double x_m, double z_m, double max_m) const;

  private:
    std::vector<MipLevel> levels_;
    double x_max_ = 0, z_min_ = 0;
};

// Bilinear blend of four texels with 8-bit fractions fu, fv (0..255 of 256). The four weights
// sum to 256 and each channel's weighted sum stays below 65536, so two channels share one
// 32-bit multiply (red/blue lanes, green/line lanes) without carrying into each other. The
// camera's vector path computes exactly these integers in 16-bit lanes.
inline std::uint32_t blend_texels(std::uint32_t t00, std::uint32_t t01, std::uint32_t t10,
                                  std::uint32_t t11, std::uint32_t fu, std::uint32_t fv) {
    constexpr std::uint32_t kM = 0x00FF00FFu;
    const std::uint32_t w11 = (fu * fv + 128) >> 8;
    const std::uint32_t w01 = fu - w11;
    const std::uint32_t w10 = fv - w11;
    const std::uint32_t w00 = 256 - fu - fv + w11;
    const std::uint32_t rb =
        (t00 & kM) * w00 + (t01 & kM) * w01 + (t10 & kM) * w10 + (t11 & kM) * w11;
    const std::uint32_t ga = ((t00 >> 8) & kM) * w00 + ((t01 >> 8) & kM) * w01 +
                             ((t10 >> 8) & kM) * w10 + ((t11 >> 8) & kM) * w11;
    return ((rb >> 8) & kM) | (ga & ~kM);
}

// Rounded mean of four texels, byte by byte: (a + b + c + d + 2) / 4 in each of the four
// bytes. Each pair of bytes is summed in one 32-bit word (red/blue lanes, green/line lanes);
// a lane's sum stays below 1024, so nothing carries into its neighbour.
inline std::uint32_t mean_of_four(std::uint32_t a, std::uint32_t b, std::uint32_t c,
                                  std::uint32_t d) {
    constexpr std::uint32_t kM = 0x00FF00FFu;
    constexpr std::uint32_t kHalf = 0x00020002u;  // + 2 in each lane, for rounding
    const std::uint32_t rb = (a & kM) + (b & kM) + (c & kM) + (d & kM) + kHalf;
    const std::uint32_t ga =
        ((a >> 8) & kM) + ((b >> 8) & kM) + ((c >> 8) & kM) + ((d >> 8) & kM) + kHalf;
    return ((rb >> 2) & kM) | (((ga >> 2) & kM) << 8);
}

}  // namespace sim
