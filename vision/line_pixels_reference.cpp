// The classifier works per pixel in double precision on the 0-255 channel values:
//   m = min(R, G, B), s = (R-m) + (G-m) + (B-m) + 1e-6, r, g, b = offsets over s,
//   theta = acos(((r-g) + (r-b)) * 0.5 / (sqrt((r-g)^2 + (r-b)(g-b)) + 1e-7)) in degrees,
//   H = theta when b <= g, else 360 - theta.
// A pixel is marked when H lies strictly inside (50, 70), (230, 250), (0, 40) or (330, 360)
// and (S - m) / S > 0.7 with S = R + G + B. Every operation keeps the order written here:
// the window edges fall on last-bit differences.
#include "vision/line_pixels_reference.hpp"

#include <cmath>

namespace {

constexpr double kPi = 3.141592653589793;

bool in_window(double H) {
    return (H > 50 && H < 70) || (H > 230 && H < 250) || (H > 0 && H < 40) || (H > 330 && H < 360);
}

}  // namespace

double line_pixel_hue_degrees(double R, double G, double B) {
    const double m = std::fmin(std::fmin(R, G), B);
    const double s = (R - m) + (G - m) + (B - m) + 0.000001;
    const double r = (R - m) / s;
    const double g = (G - m) / s;
    const double b = (B - m) / s;
    const double num = ((r - g) + (r - b)) * 0.5;
    const double rad = (r - g) * (r - g) + (r - b) * (g - b);
    const double root = std::sqrt(rad);
    const double theta = std::acos(num / (root + 0.0000001)) * 180 / kPi;
    return b <= g ? theta : 360 - theta;
}

int detect_line_pixels_reference(const unsigned char* frame, unsigned char* mask, int width,
                                 int height, double* color) {
    int count = 0;
    for (int x = 0; x < width; ++x) {
        for (int y = 0; y < height; ++y) {
            const long i = 4L * (static_cast<long>(y) * width + x);
            const double B = frame[i + 0];
            const double G = frame[i + 1];
            const double R = frame[i + 2];
            const double H = line_pixel_hue_degrees(R, G, B);
            mask[i + 0] = 0;
            mask[i + 1] = 0;
            mask[i + 2] = 0;
            mask[i + 3] = 0;
            if (!in_window(H)) {
                continue;
            }
            const double m = std::fmin(std::fmin(R, G), B);
            const double S = R + G + B;
            if ((S - m) / S > 0.7) {
                mask[i + 1] = 250;
                mask[i + 2] = 250;
                mask[i + 3] = 250;
                ++count;
                *color = H;
            }
        }
    }
    return count;
}
