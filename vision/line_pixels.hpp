// Line-pixel classifier: marks the pixels of a camera frame whose hue lies in a red, yellow or
// blue band and whose colour lies far enough from grey.
#pragma once

// Classifies every pixel of `frame` (width x height pixels, 4 bytes each, blue, green, red,
// alpha) and writes the line mask into `mask` (same size and layout): a marked pixel becomes
// (0, 250, 250, 250), every other pixel (0, 0, 0, 0). Returns the number of marked pixels.
// `*color` receives the hue [deg] of the last pixel marked in column-by-column order (largest
// x, then largest y) and is left untouched when no pixel is marked. A width or height of 0 or
// less reads and writes nothing and returns 0. `frame` and `mask` must not overlap.
// Implementation paths for tests and benchmarks: line_pixels_paths.hpp.
int detect_line_pixels(const unsigned char* frame, unsigned char* mask, int width, int height,
                       double* color);
