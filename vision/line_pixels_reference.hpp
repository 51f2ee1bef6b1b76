// The straightforward line-pixel classifier: every pixel in column-by-column order, in double
// precision, exactly as the formula in line_pixels_reference.cpp reads. It is the twin that the
// fast classifier (line_pixels.hpp) is proven against, and the baseline of its benchmarks.
#pragma once

// Same contract as detect_line_pixels (line_pixels.hpp), computed the slow, literal way.
int detect_line_pixels_reference(const unsigned char* frame, unsigned char* mask, int width,
                                 int height, double* color);

// The hue [deg] in [0, 360] of one pixel from its 0-255 channel values, NaN when the formula
// yields none; the exact value that the classifiers store into `color`.
double line_pixel_hue_degrees(double R, double G, double B);
