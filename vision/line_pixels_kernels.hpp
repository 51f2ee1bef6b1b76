// Row kernels of the fast classifier (internal to vision/). Each one classifies `width` pixels
// of one row, writes their mask, sets *last_x to the largest marked x of the row (-1 when none)
// and returns the number of marked pixels. All kernels give identical results.
#pragma once

namespace line_pixels_kernels {

using RowKernel = int (*)(const unsigned char* frame_row, unsigned char* mask_row, int width,
                          int* last_x);

// Plain C++, one pixel at a time (compilers may vectorise it).
int classify_row_portable(const unsigned char* frame_row, unsigned char* mask_row, int width,
                          int* last_x);

#if defined(__x86_64__) || defined(_M_X64)
#define LINE_PIXELS_X86 1
// 8 pixels per step with SSE2, which every x86-64 processor has.
int classify_row_sse2(const unsigned char* frame_row, unsigned char* mask_row, int width,
                      int* last_x);
// 16 pixels per step; only on processors with AVX2.
int classify_row_avx2(const unsigned char* frame_row, unsigned char* mask_row, int width,
                      int* last_x);
bool cpu_has_avx2();
#endif

}  // namespace line_pixels_kernels
