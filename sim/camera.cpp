#include "sim/camera.hpp"

#include <algorithm>
#include <cmath>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace sim {
namespace {

constexpr std::uint32_t kOpaque = 0xFF000000u;
constexpr double kFixedOne = 65536.0;  // texture coordinates in 16.16 fixed point

// One texel fetch and blend at 16.16 coordinates (U, V) in padded texel units.
inline std::uint32_t fetch(const std::uint32_t* tex, std::size_t stride, std::int32_t U,
                           std::int32_t V) {
    const std::uint32_t* p = tex + static_cast<std::size_t>(V >> 16) * stride + (U >> 16);
    return blend_texels(p[0], p[1], p[stride], p[stride + 1],
                        static_cast<std::uint32_t>(U >> 8) & 0xFF,
                        static_cast<std::uint32_t>(V >> 8) & 0xFF);
}

// A row of n pixels, one at a time. Returns the pixels at least half line.
int walk_scalar(const MipLevel& l, std::int32_t U, std::int32_t V, std::int32_t dU, std::int32_t dV,
                int n, std::uint32_t* out) {
    const std::size_t stride = static_cast<std::size_t>(l.stride);
    int covered = 0;
    for (int px = 0; px < n; ++px) {
        const std::uint32_t t = fetch(l.texels.data(), stride, U, V);
        covered += static_cast<int>(t >> 31);
        out[px] = t | kOpaque;
        U += dU;
        V += dV;
    }
    return covered;
}

#if defined(__x86_64__) && defined(__GNUC__)
#define SIM_HAVE_AVX2_PATH 1
#define SIM_AVX2 __attribute__((target("avx2")))

// Eight pixels from lane positions U, V (16.16): the same integer blend as blend_texels in
// 16-bit lanes (no lane ever exceeds 65280, so the results are identical). The two taps of a
// texel row lie side by side in memory, so each pixel needs two 64-bit loads, one per texel
// row; plain loads into vector halves beat hardware gathers here (measured on Zen 4).
[[gnu::always_inline]] SIM_AVX2 inline __m256i blend8_avx2(const char* top, const char* bottom,
                                                           __m256i stride, __m256i U, __m256i V) {
    const __m256i m = _mm256_set1_epi32(0x00FF00FF);
    const __m256i c128 = _mm256_set1_epi16(128);
    const __m256i c256 = _mm256_set1_epi16(256);
    const __m256i idx = _mm256_add_epi32(_mm256_mullo_epi32(_mm256_srli_epi32(V, 16), stride),
                                         _mm256_srli_epi32(U, 16));
    // Byte offsets of the eight top-left taps, taken out of the vector two at a time.
    const __m256i off = _mm256_slli_epi32(idx, 2);
    const __m128i off_lo = _mm256_castsi256_si128(off);
    const __m128i off_hi = _mm256_extracti128_si256(off, 1);
    const std::uint64_t q[4] = {static_cast<std::uint64_t>(_mm_cvtsi128_si64(off_lo)),
                                static_cast<std::uint64_t>(_mm_extract_epi64(off_lo, 1)),
                                static_cast<std::uint64_t>(_mm_cvtsi128_si64(off_hi)),
                                static_cast<std::uint64_t>(_mm_extract_epi64(off_hi, 1))};
    const auto at = [&q](int i) { return static_cast<std::uint32_t>(q[i / 2] >> (32 * (i % 2))); };
    // Pixels i and j's pair of taps from one texel row, in the low and high half.
    auto pair = [&at](const char* row, int i, int j) SIM_AVX2 {
        const __m128i a = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + at(i)));
        return _mm256_castpd_ps(_mm256_castpd128_pd256(
            _mm_loadh_pd(_mm_castsi128_pd(a), reinterpret_cast<const double*>(row + at(j)))));
    };
    // Pixels 0, 1, 4, 5 in one vector and 2, 3, 6, 7 in the other, so that one in-lane
    // shuffle puts the taps back in pixel order.
    const auto both = [&pair](const char* row, int i) SIM_AVX2 {
        return _mm256_insertf128_ps(pair(row, i, i + 1),
                                    _mm256_castps256_ps128(pair(row, i + 4, i + 5)), 1);
    };
    const __m256 ta = both(top, 0);
    const __m256 tb = both(top, 2);
    const __m256 ba = both(bottom, 0);
    const __m256 bb = both(bottom, 2);
    const __m256i t00 = _mm256_castps_si256(_mm256_shuffle_ps(ta, tb, _MM_SHUFFLE(2, 0, 2, 0)));
    const __m256i t01 = _mm256_castps_si256(_mm256_shuffle_ps(ta, tb, _MM_SHUFFLE(3, 1, 3, 1)));
    const __m256i t10 = _mm256_castps_si256(_mm256_shuffle_ps(ba, bb, _MM_SHUFFLE(2, 0, 2, 0)));
    const __m256i t11 = _mm256_castps_si256(_mm256_shuffle_ps(ba, bb, _MM_SHUFFLE(3, 1, 3, 1)));
    // The 8-bit fractions (byte 1 of U and of V) in both 16-bit halves of their lane, and the
    // weights from them in 16-bit arithmetic: fu * fv + 128 <= 65153 and every weight lies in
    // 0..256, so no lane wraps.
    const __m256i byte1 =
        _mm256_setr_epi8(1, -1, 1, -1, 5, -1, 5, -1, 9, -1, 9, -1, 13, -1, 13, -1, 1, -1, 1, -1, 5,
                         -1, 5, -1, 9, -1, 9, -1, 13, -1, 13, -1);
    const __m256i fu = _mm256_shuffle_epi8(U, byte1);
    const __m256i fv = _mm256_shuffle_epi8(V, byte1);
    const __m256i W11 = _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(fu, fv), c128), 8);
    const __m256i W01 = _mm256_sub_epi16(fu, W11);
    const __m256i W10 = _mm256_sub_epi16(fv, W11);
    const __m256i W00 = _mm256_add_epi16(_mm256_sub_epi16(_mm256_sub_epi16(c256, fu), fv), W11);
    // Blue and red in the low bytes of the 16-bit lanes (mask), green and line likewise (shift).
    const __m256i rb =
        _mm256_add_epi16(_mm256_add_epi16(_mm256_mullo_epi16(_mm256_and_si256(t00, m), W00),
                                          _mm256_mullo_epi16(_mm256_and_si256(t01, m), W01)),
                         _mm256_add_epi16(_mm256_mullo_epi16(_mm256_and_si256(t10, m), W10),
                                          _mm256_mullo_epi16(_mm256_and_si256(t11, m), W11)));
    const __m256i ga =
        _mm256_add_epi16(_mm256_add_epi16(_mm256_mullo_epi16(_mm256_srli_epi16(t00, 8), W00),
                                          _mm256_mullo_epi16(_mm256_srli_epi16(t01, 8), W01)),
                         _mm256_add_epi16(_mm256_mullo_epi16(_mm256_srli_epi16(t10, 8), W10),
                                          _mm256_mullo_epi16(_mm256_srli_epi16(t11, 8), W11)));
    return _mm256_or_si256(_mm256_srli_epi16(rb, 8), _mm256_andnot_si256(m, ga));
}

// A row of n >= 8 pixels, eight at a time. A remainder is covered by one more block that
// ends at the row's last pixel and overlaps the one before: it rewrites a few pixels with the
// same values and counts only the pixels that are new.
[[gnu::always_inline]] SIM_AVX2 inline int walk_avx2(const MipLevel& l, std::int32_t U0,
                                                     std::int32_t V0, std::int32_t dU,
                                                     std::int32_t dV, int n, std::uint32_t* out) {
    const auto* top = reinterpret_cast<const char*>(l.texels.data());
    const auto* bottom = reinterpret_cast<const char*>(l.texels.data() + l.stride);
    const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i ldU = _mm256_mullo_epi32(lane, _mm256_set1_epi32(dU));
    const __m256i ldV = _mm256_mullo_epi32(lane, _mm256_set1_epi32(dV));
    __m256i U = _mm256_add_epi32(_mm256_set1_epi32(U0), ldU);
    __m256i V = _mm256_add_epi32(_mm256_set1_epi32(V0), ldV);
    const __m256i stepU = _mm256_set1_epi32(8 * dU);
    const __m256i stepV = _mm256_set1_epi32(8 * dV);
    const __m256i stride = _mm256_set1_epi32(l.stride);
    const __m256i opaque = _mm256_set1_epi32(static_cast<int>(kOpaque));
    __m256i count = _mm256_setzero_si256();
    int px = 0;
    for (; px + 8 <= n; px += 8) {
        const __m256i t = blend8_avx2(top, bottom, stride, U, V);
        count = _mm256_add_epi32(count, _mm256_srli_epi32(t, 31));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + px), _mm256_or_si256(t, opaque));
        U = _mm256_add_epi32(U, stepU);
        V = _mm256_add_epi32(V, stepV);
    }
    if (px < n) {
        const int last = n - 8;
        U = _mm256_add_epi32(_mm256_set1_epi32(U0 + last * dU), ldU);
        V = _mm256_add_epi32(_mm256_set1_epi32(V0 + last * dV), ldV);
        const __m256i t = blend8_avx2(top, bottom, stride, U, V);
        const __m256i fresh = _mm256_cmpgt_epi32(lane, _mm256_set1_epi32(px - last - 1));
        count = _mm256_add_epi32(count, _mm256_and_si256(_mm256_srli_epi32(t, 31), fresh));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + last), _mm256_or_si256(t, opaque));
    }
    const __m128i c4 =
        _mm_add_epi32(_mm256_castsi256_si128(count), _mm256_extracti128_si256(count, 1));
    const __m128i c2 = _mm_add_epi32(c4, _mm_unpackhi_epi64(c4, c4));
    return _mm_cvtsi128_si32(_mm_add_epi32(c2, _mm_shuffle_epi32(c2, 1)));
}
#endif

}  // namespace

CameraModel::CameraModel(const WorldDesc& w, const FloorTexture& floor)
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
        // next to the horizon the footprint may be infinite; fmin and fmax also turn a NaN
        // into the coarsest level rather than into an undefined int).
        const double level = std::floor(std::log2(foot / texel0));
        row.level =
            static_cast<int>(std::fmax(0.0, std::fmin(level, static_cast<double>(top_level))));
    }
}

bool CameraModel::floor_point(int px, int py, double& forward_m, double& left_m) const {
    const CameraRow& row = rows_[py];
    forward_m = row.forward0_m + px * row.dforward_m;
    left_m = row.left0_m + px * row.dleft_m;
    return row.hits_floor;
}

namespace {

// The frame, row by row: each row's floor points moved by the pose into texel coordinates;
// rows that lie wholly on the floor go to `walk` (fixed point, no per-pixel tests), the others
// are sampled pixel by pixel. Inlined into each path, so that the vector path keeps its
// constants in registers from row to row.
template <typename Walk>
[[gnu::always_inline]] inline int render_rows(const std::vector<CameraRow>& rows, int width,
                                              int height, const FloorTexture& floor,
                                              const Pose2& pose, std::uint32_t* frame,
                                              Walk&& walk) {
    const double ch = std::cos(pose.heading_rad);
    const double sh = std::sin(pose.heading_rad);
    int covered = 0;
    for (int py = 0; py < height; ++py) {
        const CameraRow& row = rows[py];
        std::uint32_t* out = frame + static_cast<std::size_t>(py) * width;
        if (!row.hits_floor) {
            std::fill(out, out + width, kMissTexel | kOpaque);
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
        const double u_end = u0 + (width - 1) * du;
        const double v_end = v0 + (width - 1) * dv;
        const double umax = l.width + 1;
        const double vmax = l.height + 1;
        // The step bounds matter only for one-pixel rows, whose end is their start.
        const bool inside = u0 >= 0 && u0 < umax && v0 >= 0 && v0 < vmax && u_end >= 0 &&
                            u_end < umax && v_end >= 0 && v_end < vmax && std::fabs(du) < umax &&
                            std::fabs(dv) < vmax;
        if (inside) {
            // The whole row lies on the floor (a straight segment whose ends both do): walk
            // it in 16.16 fixed point without per-pixel tests. The ends are checked again in
            // the fixed-point values that the walk will reach.
            const auto U0 = static_cast<std::int32_t>(u0 * kFixedOne);
            const auto V0 = static_cast<std::int32_t>(v0 * kFixedOne);
            const auto dU = static_cast<std::int32_t>(du * kFixedOne);
            const auto dV = static_cast<std::int32_t>(dv * kFixedOne);
            const std::int64_t Ue = U0 + static_cast<std::int64_t>(width - 1) * dU;
            const std::int64_t Ve = V0 + static_cast<std::int64_t>(width - 1) * dV;
            const std::int64_t Ulim = static_cast<std::int64_t>(l.width + 1) << 16;
            const std::int64_t Vlim = static_cast<std::int64_t>(l.height + 1) << 16;
            if (U0 >= 0 && V0 >= 0 && U0 < Ulim && V0 < Vlim && Ue >= 0 && Ve >= 0 && Ue < Ulim &&
                Ve < Vlim) {
                covered += walk(l, U0, V0, dU, dV, width, out);
                continue;
            }
        }
        for (int px = 0; px < width; ++px) {
            const double x = x0 + px * dx;
            const double z = z0 + px * dz;
            const std::uint32_t t = floor.sample(row.level, x, z);
            covered += static_cast<int>(t >> 31);
            out[px] = t | kOpaque;
        }
    }
    return covered;
}

#ifdef SIM_HAVE_AVX2_PATH
SIM_AVX2 int render_avx2(const std::vector<CameraRow>& rows, int width, int height,
                         const FloorTexture& floor, const Pose2& pose, std::uint32_t* frame) {
    return render_rows(rows, width, height, floor, pose, frame,
                       [](const MipLevel& l, std::int32_t U0, std::int32_t V0, std::int32_t dU,
                          std::int32_t dV, int n, std::uint32_t* out)
                           SIM_AVX2 { return walk_avx2(l, U0, V0, dU, dV, n, out); });
}
#endif

}  // namespace

int CameraModel::render(const FloorTexture& floor, const Pose2& pose, std::uint32_t* frame,
                        bool use_vector) const {
#ifdef SIM_HAVE_AVX2_PATH
    static const bool have_avx2 = __builtin_cpu_supports("avx2");
    if (use_vector && have_avx2 && width_ >= 8) {
        return render_avx2(rows_, width_, height_, floor, pose, frame);
    }
#endif
    (void)use_vector;
    return render_rows(rows_, width_, height_, floor, pose, frame, walk_scalar);
}

}  // namespace sim
