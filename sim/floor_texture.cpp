// Lines are drawn per segment over the segment's bounding box only: for every texel there the
// distance to the segment's centre curve gives a coverage (a box filter one texel wide across
// the edge), and the segment with the largest coverage owns the texel. Where segments meet,
// the shared end gets the larger coverage of the two, so chains have no seams.
#include "sim/floor_texture.hpp"

#include <algorithm>
#include <cmath>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace sim {
namespace {

std::uint8_t lerp_byte(std::uint8_t a, std::uint8_t b, double t) {
    return static_cast<std::uint8_t>(std::lround(a + (b - a) * t));
}

// Axis-aligned bounds of a segment's centre curve, widened by `pad`.
void segment_bounds(const TrackSegment& s, double pad, double& x0, double& x1, double& z0,
                    double& z1) {
    if (!s.is_arc) {
        const double ex = s.x0_m + s.length_m * s.dx;
        const double ez = s.z0_m + s.length_m * s.dz;
        x0 = std::min(s.x0_m, ex) - pad;
        x1 = std::max(s.x0_m, ex) + pad;
        z0 = std::min(s.z0_m, ez) - pad;
        z1 = std::max(s.z0_m, ez) + pad;
        return;
    }
    // Sample the arc densely; the sagitta between samples is below r * (1 - cos(pi / 256)).
    const double side = s.angle_rad > 0 ? 1.0 : -1.0;
    x0 = z0 = HUGE_VAL;
    x1 = z1 = -HUGE_VAL;
    const int n = 512;
    for (int k = 0; k <= n; ++k) {
        const double a = s.heading0_rad + s.angle_rad * k / n;
        const double x = s.cx_m + side * s.radius_m * std::sin(a);
        const double z = s.cz_m + side * s.radius_m * std::cos(a);
        x0 = std::min(x0, x);
        x1 = std::max(x1, x);
        z0 = std::min(z0, z);
        z1 = std::max(z1, z);
    }
    const double sag = s.radius_m * (1 - std::cos(kPi / 256)) + pad;
    x0 -= sag;
    x1 += sag;
    z0 -= sag;
    z1 += sag;
}

// A texel index from a whole number of texels, held within [lo, hi] before the conversion so
// that no distance, however large, overflows the int.
int index_in(double texels, int lo, int hi) {
    return static_cast<int>(std::clamp(texels, static_cast<double>(lo), static_cast<double>(hi)));
}

constexpr std::size_t kHugePage = std::size_t{1} << 21;

std::size_t round_up(std::size_t n, std::size_t to) {
    return (n + to - 1) / to * to;
}

}  // namespace

void* allocate_texel_bytes(std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (bytes >= kHugePage) {
        // Map one huge page more than needed and give back the unaligned ends.
        const std::size_t len = round_up(bytes, kHugePage);
        void* raw = mmap(nullptr, len + kHugePage, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (raw == MAP_FAILED) {
            throw std::bad_alloc();
        }
        auto* const first = static_cast<char*>(raw);
        auto* const aligned =
            first + (round_up(reinterpret_cast<std::uintptr_t>(first), kHugePage) -
                     reinterpret_cast<std::uintptr_t>(first));
        if (aligned > first) {
            munmap(first, static_cast<std::size_t>(aligned - first));
        }
        auto* const last = first + len + kHugePage;
        if (last > aligned + len) {
            munmap(aligned + len, static_cast<std::size_t>(last - (aligned + len)));
        }
        madvise(aligned, len, MADV_HUGEPAGE);  // advice only: ordinary pages if refused
        return aligned;
    }
#endif
    return ::operator new(bytes);
}

void free_texel_bytes(void* p, std::size_t bytes) noexcept {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (bytes >= kHugePage) {
        munmap(p, round_up(bytes, kHugePage));
        return;
    }
#endif
    ::operator delete(p);
}

FloorTexture::FloorTexture(const WorldDesc& w, const Track& track) {
    x_max_ = w.floor_center_x_m + 0.5 * w.floor_size_x_m;
    z_min_ = w.floor_center_z_m - 0.5 * w.floor_size_z_m;
    MipLevel l0;
    l0.width = std::max(1, static_cast<int>(std::ceil(w.floor_size_z_m / w.floor_texel_m)));
    l0.height = std::max(1, static_cast<int>(std::ceil(w.floor_size_x_m / w.floor_texel_m)));
    l0.stride = l0.width + 2;
    l0.texel_z_m = w.floor_size_z_m / l0.width;
    l0.texel_x_m = w.floor_size_x_m / l0.height;
    try {
        l0.texels.assign(static_cast<std::size_t>(l0.stride) * (l0.height + 2), kMissTexel);
    } catch (const std::bad_alloc&) {
        throw WorldFileError(w.source_name +
                             ": floor.texel: the floor texture does not fit in "
                             "memory; expected a larger texel");
    }

    // The bare floor: its colour, or the image stretched over it (bilinear, composited over
    // the floor colour by the image's alpha). Strongly coloured image pixels count as line.
    const RgbaImage& img = w.floor_image_pixels;
    for (int j = 0; j < l0.height && img.width == 0; ++j) {
        std::uint32_t* row = &l0.texels[static_cast<std::size_t>(j + 1) * l0.stride + 1];
        std::fill(row, row + l0.width, pack_texel(w.floor_color, 0));
    }
    for (int j = 0; j < l0.height && img.width > 0; ++j) {
        for (int i = 0; i < l0.width; ++i) {
            Rgb c = w.floor_color;
            std::uint8_t line = 0;
            {
                const double u = (i + 0.5) * img.width / l0.width - 0.5;
                const double v = (j + 0.5) * img.height / l0.height - 0.5;
                const int iu = static_cast<int>(std::floor(u));
                const int iv = static_cast<int>(std::floor(v));
                const double fu = u - iu, fv = v - iv;
                // Colours premultiplied by their alpha while filtering, so the result is
                // floor * (1 - a) + rgb * a and a transparent pixel's colour counts for nothing.
                double acc[4] = {0, 0, 0, 0};
                for (int dy = 0; dy < 2; ++dy) {
                    for (int dx = 0; dx < 2; ++dx) {
                        const int px = std::clamp(iu + dx, 0, img.width - 1);
                        const int py = std::clamp(iv + dy, 0, img.height - 1);
                        const std::uint8_t* p =
                            &img.pixels[4 * (static_cast<std::size_t>(py) * img.width + px)];
                        const double wgt = (dx ? fu : 1 - fu) * (dy ? fv : 1 - fv);
                        const double wa = wgt * p[3] / 255.0;
                        for (int k = 0; k < 3; ++k) {
                            acc[k] += wa * p[k];
                        }
                        acc[3] += wgt * p[3];
                    }
                }
                const double a = acc[3] / 255.0;
                const auto over = [a](std::uint8_t floor, double premultiplied) {
                    return static_cast<std::uint8_t>(
                        std::clamp(std::lround(floor * (1 - a) + premultiplied), 0L, 255L));
                };
                c = Rgb{over(c.r, acc[0]), over(c.g, acc[1]), over(c.b, acc[2])};
                const int hi = std::max({c.r, c.g, c.b});
                const int lo = std::min({c.r, c.g, c.b});
                line = hi - lo >= 80 ? 255 : 0;
            }
            l0.texels[static_cast<std::size_t>(j + 1) * l0.stride + i + 1] = pack_texel(c, line);
        }
    }

    // The lines, one texel row at a time: each segment's bounding box in texel indices, then
    // for every row the segments whose box holds it, in order (so the largest coverage wins
    // and ties go to the later segment), into buffers of one row.
    const auto& segs = track.segments();
    const double texel = 0.5 * (l0.texel_x_m + l0.texel_z_m);
    struct Box {
        int i0, i1, j0, j1;
    };
    std::vector<Box> boxes(segs.size());
    for (std::size_t si = 0; si < segs.size(); ++si) {
        double bx0, bx1, bz0, bz1;
        segment_bounds(segs[si], 0.5 * segs[si].width_m + 2 * texel, bx0, bx1, bz0, bz1);
        // Clamped in double before the conversion: a chain may end far past the floor. A box
        // wholly off the floor keeps i0 > i1 (or j0 > j1) and so stays empty.
        boxes[si] = {index_in(std::floor((bz0 - z_min_) / l0.texel_z_m), 0, l0.width),
                     index_in(std::ceil((bz1 - z_min_) / l0.texel_z_m), -1, l0.width - 1),
                     index_in(std::floor((x_max_ - bx1) / l0.texel_x_m), 0, l0.height),
                     index_in(std::ceil((x_max_ - bx0) / l0.texel_x_m), -1, l0.height - 1)};
    }
    std::vector<float> coverage(segs.empty() ? 0 : l0.width, 0.0f);
    std::vector<std::int32_t> owner(coverage.size(), -1);
    for (int j = 0; j < l0.height && !segs.empty(); ++j) {
        const double x = x_max_ - (j + 0.5) * l0.texel_x_m;
        int lo = l0.width, hi = -1;  // the columns this row's segments reach
        for (std::size_t si = 0; si < segs.size(); ++si) {
            const Box& b = boxes[si];
            if (j < b.j0 || j > b.j1 || b.i0 > b.i1) {
                continue;
            }
            lo = std::min(lo, b.i0);
            hi = std::max(hi, b.i1);
            const TrackSegment& s = segs[si];
            const double half = 0.5 * s.width_m;
            for (int i = b.i0; i <= b.i1; ++i) {
                const double z = z_min_ + (i + 0.5) * l0.texel_z_m;
                if (s.is_arc) {
                    // Cheap reject before the exact distance (which needs an atan2).
                    const double rho = length2(x - s.cx_m, z - s.cz_m);
                    if (std::fabs(rho - s.radius_m) > half + texel) {
                        continue;
                    }
                }
                const double d = closest_on_segment(s, x, z).distance_m;
                const double cov = std::clamp((half - d) / texel + 0.5, 0.0, 1.0);
                if (cov > 0 && cov >= coverage[i]) {
                    coverage[i] = static_cast<float>(cov);
                    owner[i] = static_cast<std::int32_t>(si);
                }
            }
        }
        std::uint32_t* row = &l0.texels[static_cast<std::size_t>(j + 1) * l0.stride + 1];
        for (int i = lo; i <= hi; ++i) {
            if (owner[i] < 0) {
                continue;
            }
            std::uint32_t& t = row[i];
            const Rgb base{static_cast<std::uint8_t>(t >> 16), static_cast<std::uint8_t>(t >> 8),
                           static_cast<std::uint8_t>(t)};
            const Rgb lc = segs[owner[i]].color;
            const double a = coverage[i];
            const std::uint8_t line = std::max(static_cast<std::uint8_t>(t >> 24),
                                               static_cast<std::uint8_t>(std::lround(255 * a)));
            t = pack_texel({lerp_byte(base.r, lc.r, a), lerp_byte(base.g, lc.g, a),
                            lerp_byte(base.b, lc.b, a)},
                           line);
            coverage[i] = 0.0f;
            owner[i] = -1;
        }
    }
    levels_.push_back(std::move(l0));

    // Halved copies: each texel is the rounded mean of up to four below it.
    while (levels_.size() < 12 && (levels_.back().width > 1 || levels_.back().height > 1)) {
        const MipLevel& lo = levels_.back();
        MipLevel up;
        up.width = (lo.width + 1) / 2;
        up.height = (lo.height + 1) / 2;
        up.stride = up.width + 2;
        up.texel_z_m = w.floor_size_z_m / up.width;
        up.texel_x_m = w.floor_size_x_m / up.height;
        up.texels.assign(static_cast<std::size_t>(up.stride) * (up.height + 2), kMissTexel);
        for (int j = 0; j < up.height; ++j) {
            // Texel rows 2j and 2j + 1 below (the last one twice where the height is odd),
            // likewise the columns.
            const std::uint32_t* r0 =
                &lo.texels[static_cast<std::size_t>(2 * j + 1) * lo.stride + 1];
            const std::uint32_t* r1 = 2 * j + 1 < lo.height ? r0 + lo.stride : r0;
            std::uint32_t* out = &up.texels[static_cast<std::size_t>(j + 1) * up.stride + 1];
            const int pairs = lo.width / 2;
            for (int i = 0; i < pairs; ++i) {
                out[i] = mean_of_four(r0[2 * i], r0[2 * i + 1], r1[2 * i], r1[2 * i + 1]);
            }
            if (pairs < up.width) {
                const int c = lo.width - 1;
                out[pairs] = mean_of_four(r0[c], r0[c], r1[c], r1[c]);
            }
        }
        levels_.push_back(std::move(up));
    }
}

std::uint32_t FloorTexture::sample(int level, double x, double z) const {
    const MipLevel& l = levels_[level];
    // Padded coordinates: texel i's centre lies at i + 1.5 after the border shift.
    const double u = (z - z_min_) / l.texel_z_m + 0.5;
    const double v = (x_max_ - x) / l.texel_x_m + 0.5;
    if (!(u >= 0 && v >= 0 && u < l.width + 1 && v < l.height + 1)) {
        return kMissTexel;
    }
    const int iu = static_cast<int>(u);
    const int iv = static_cast<int>(v);
    const auto fu = static_cast<std::uint32_t>((u - iu) * 256);
    const auto fv = static_cast<std::uint32_t>((v - iv) * 256);
    const std::uint32_t* p = &l.texels[static_cast<std::size_t>(iv) * l.stride + iu];
    return blend_texels(p[0], p[1], p[l.stride], p[l.stride + 1], fu, fv);
}

double FloorTexture::distance_to_line_texel(double x, double z, double max_m) const {
    const MipLevel& l = levels_[0];
    const double tmin = std::min(l.texel_x_m, l.texel_z_m);
    const double reach = std::ceil(max_m / tmin) + 1;  // [texels]
    const double fi = std::floor((z - z_min_) / l.texel_z_m);
    const double fj = std::floor((x_max_ - x) / l.texel_x_m);
    // A robot far off the floor has no line texel within reach; deciding that in doubles also
    // keeps the int conversions below in range however far it has driven.
    if (!(fi >= -reach && fj >= -reach && fi < l.width + reach && fj < l.height + reach)) {
        return max_m;
    }
    const int ci = static_cast<int>(fi);
    const int cj = static_cast<int>(fj);
    const int rmax = static_cast<int>(reach);
    double best = max_m;
    // Square rings of growing radius; stop once a ring cannot hold anything nearer.
    for (int r = 0; r <= rmax && (r - 1) * tmin <= best; ++r) {
        for (int j = cj - r; j <= cj + r; ++j) {
            const bool edge_row = j == cj - r || j == cj + r;
            for (int i = ci - r; i <= ci + r; i += edge_row ? 1 : 2 * r) {
                if (i >= 0 && j >= 0 && i < l.width && j < l.height && (l.at(i, j) >> 24) >= 128) {
                    const double tx = x_max_ - (j + 0.5) * l.texel_x_m;
                    const double tz = z_min_ + (i + 0.5) * l.texel_z_m;
                    best = std::min(best, length2(tx - x, tz - z));
                }
                if (r == 0) {
                    break;
                }
            }
        }
    }
    return best;
}

}  // namespace sim
