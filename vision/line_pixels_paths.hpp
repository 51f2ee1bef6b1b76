// Every implementation path of detect_line_pixels, callable one by one so that tests and
// benchmarks cover the paths that the running processor would not pick by itself.
#pragma once

enum class LinePixelsPath {
    portable,  // plain C++, any processor
    sse2,      // x86-64 vector code that every x86-64 processor runs
    avx2,      // x86-64 vector code for processors with AVX2
};

// Whether `path` runs on this processor and build.
bool line_pixels_path_available(LinePixelsPath path);

// "portable", "sse2" or "avx2".
const char* line_pixels_path_name(LinePixelsPath path);

// The path that detect_line_pixels uses on this processor (the fastest available).
LinePixelsPath line_pixels_default_path();

// detect_line_pixels on `path`; same contract and results. `path` must be available.
int detect_line_pixels_on(LinePixelsPath path, const unsigned char* frame, unsigned char* mask,
                          int width, int height, double* color);
