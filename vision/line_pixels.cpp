// The fast line-pixel classifier. It decides each pixel with the small integer rule of
// line_pixels_rule.hpp, which equals the double-precision hue and saturation tests on every
// 8-bit colour, and it walks the frame in memory order with vector code where the processor
// has it (row by row, or as one run of pixels on the AVX2 path).
//
// Only `color` depends on the visiting order: it is the hue of the marked pixel with the
// largest x and, within that column, the largest y. Every row reports its largest marked x;
// rows come in increasing y, so the winner is the last row whose x is at least the best so
// far. The exact double hue of that single pixel is computed at the end with the formula
// itself.
#include "vision/line_pixels.hpp"

#include <algorithm>
#include <cstddef>

#include "vision/line_pixels_kernels.hpp"
#include "vision/line_pixels_paths.hpp"
#include "vision/line_pixels_reference.hpp"
#include "vision/line_pixels_rule.hpp"

namespace line_pixels_kernels {

int classify_row_portable(const unsigned char* frame_row, unsigned char* mask_row, int width,
                          int* last_x) {
    int count = 0;
    int last_plus_one = 0;  // 1 + the largest marked x so far, 0 for none
    for (int x = 0; x < width; ++x) {
        const unsigned char* in = frame_row + 4 * static_cast<std::ptrdiff_t>(x);
        unsigned char* out = mask_row + 4 * static_cast<std::ptrdiff_t>(x);
        // Arithmetic rather than branches on the verdict, so that compilers vectorise the loop.
        const unsigned line = line_pixels_rule::is_line_pixel(in[0], in[1], in[2]) ? 1 : 0;
        const auto level = static_cast<unsigned char>(250 & -line);
        out[0] = 0;
        out[1] = level;
        out[2] = level;
        out[3] = level;
        count += static_cast<int>(line);
        last_plus_one = std::max(last_plus_one, (x + 1) & -static_cast<int>(line));
    }
    *last_x = last_plus_one - 1;
    return count;
}

int classify_frame_by_rows(RowKernel row, const unsigned char* frame, unsigned char* mask,
                           int width, int height, int* best_x, int* best_y) {
    const std::ptrdiff_t row_bytes = 4 * static_cast<std::ptrdiff_t>(width);
    int count = 0;
    *best_x = -1;
    *best_y = -1;
    for (int y = 0; y < height; ++y) {
        int last_x = -1;
        count += row(frame + y * row_bytes, mask + y * row_bytes, width, &last_x);
        if (last_x >= 0 && last_x >= *best_x) {
            *best_x = last_x;
            *best_y = y;
        }
    }
    return count;
}

}  // namespace line_pixels_kernels

namespace {

using line_pixels_kernels::classify_frame_by_rows;
using line_pixels_kernels::FrameKernel;

int frame_portable(const unsigned char* frame, unsigned char* mask, int width, int height,
                   int* best_x, int* best_y) {
    return classify_frame_by_rows(line_pixels_kernels::classify_row_portable, frame, mask, width,
                                  height, best_x, best_y);
}

#if LINE_PIXELS_X86
int frame_sse2(const unsigned char* frame, unsigned char* mask, int width, int height, int* best_x,
               int* best_y) {
    return classify_frame_by_rows(line_pixels_kernels::classify_row_sse2, frame, mask, width,
                                  height, best_x, best_y);
}
#endif

int classify_frame(FrameKernel kernel, const unsigned char* frame, unsigned char* mask, int width,
                   int height, double* color) {
    if (width <= 0 || height <= 0) {
        return 0;
    }
    int best_x = -1;
    int best_y = -1;
    const int count = kernel(frame, mask, width, height, &best_x, &best_y);
    if (best_x >= 0) {
        const unsigned char* p = frame + (static_cast<std::ptrdiff_t>(best_y) * width + best_x) * 4;
        *color = line_pixel_hue_degrees(p[2], p[1], p[0]);
    }
    return count;
}

FrameKernel kernel_of(LinePixelsPath path) {
    switch (path) {
#if LINE_PIXELS_X86
        case LinePixelsPath::sse2:
            return frame_sse2;
        case LinePixelsPath::avx2:
            return line_pixels_kernels::classify_frame_avx2;
#endif
        default:
            return frame_portable;
    }
}

// Chosen on first use: one CPUID query, no tables to build.
FrameKernel default_kernel() {
    static const FrameKernel kernel = kernel_of(line_pixels_default_path());
    return kernel;
}

}  // namespace

bool line_pixels_path_available(LinePixelsPath path) {
    switch (path) {
        case LinePixelsPath::portable:
            return true;
#if LINE_PIXELS_X86
        case LinePixelsPath::sse2:
            return true;
        case LinePixelsPath::avx2:
            return line_pixels_kernels::cpu_has_avx2();
#endif
        default:
            return false;
    }
}

const char* line_pixels_path_name(LinePixelsPath path) {
    switch (path) {
        case LinePixelsPath::portable:
            return "portable";
        case LinePixelsPath::sse2:
            return "sse2";
        case LinePixelsPath::avx2:
            return "avx2";
    }
    return "unknown";
}

LinePixelsPath line_pixels_default_path() {
    if (line_pixels_path_available(LinePixelsPath::avx2)) {
        return LinePixelsPath::avx2;
    }
    if (line_pixels_path_available(LinePixelsPath::sse2)) {
        return LinePixelsPath::sse2;
    }
    return LinePixelsPath::portable;
}

int detect_line_pixels_on(LinePixelsPath path, const unsigned char* frame, unsigned char* mask,
                          int width, int height, double* color) {
    return classify_frame(kernel_of(path), frame, mask, width, height, color);
}

int detect_line_pixels(const unsigned char* frame, unsigned char* mask, int width, int height,
                       double* color) {
    return classify_frame(default_kernel(), frame, mask, width, height, color);
}
