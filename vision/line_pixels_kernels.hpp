// Row kernels of the fast classifier (internal to vision/). Each one classifies `width` pixels
// of one row, writes their mask, sets *last_x to the largest marked x of the row (-1 when none)
// and returns the number of marked pixels. All kernels give identical results.
#pragma once

namespace line_pixels_kernels {

using RowKernel = int (*)(const unsigned char* frame_row, unsigned char* mask_row, int width,
                          int* last_x);

// Frame kernels classify a whole frame (width, height > 0), write its mask, set *best_x,
// *best_y to the marked pixel with the largest x and, within that column, the largest y
// (-1, -1 when none) and return the number of marked pixels.
using FrameKernel = int (*)(const unsigned char* frame, unsigned char* mask, int width, int height,
                            int* best_x, int* best_y);

// A frame row by row with `row`: each row reports its largest marked x, and rows come in
// increasing y, so the winner is the last row whose x is at least the best so far.
int classify_frame_by_rows(RowKernel row, const unsigned char* frame, unsigned char* mask,
                           int width, int height, int* best_x, int* best_y);

// Plain C++, one pixel at a time (compilers may vectorise it).
int classify_row_portable(const unsigned char* frame_row, unsigned char* mask_row, int width,
                          int* last_x);

#if defined(__x86_64__) || defined(_M_X64)
#define LINE_PIXELS_X86 1
// 8 pixels per step with SSE2, which every x86-64 processor has.
int classify_row_sse2(const unsigned char* frame_row, unsigned char* mask_row, int width,
                      int* last_x);
// 16 pixels per step; only on processors with AVX2. The frame kernel runs through frames whose
// rows hold at least 16 pixels as one run of pixels, without work per row.
int classify_row_avx2(const unsigned char* frame_row, unsigned char* mask_row, int width,
                      int* last_x);
int classify_frame_avx2(const unsigned char* frame, unsigned char* mask, int width, int height,
                        int* best_x, int* best_y);
bool cpu_has_avx2();
#endif

}  // namespace line_pixels_kernels
