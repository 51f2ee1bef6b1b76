// Draws the image track of worlds/image_track.yaml: a closed curve r(phi) = 0.55 + 0.12 cos(3 phi)
// [m] around the floor's centre, 2 cm wide, a third each red, yellow and blue, on light grey;
// one pixel per 4 mm. Prints the start pose on the curve for the world file.
//   make_track_image worlds/image_track.png
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "sim/png_image.hpp"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kSize = 1.6;     // floor side [m]
constexpr double kPixel = 0.004;  // [m]
constexpr double kWidth = 0.02;   // line width [m]

void curve(double phi, double& x, double& z) {
    const double r = 0.55 + 0.12 * std::cos(3 * phi);
    x = r * std::cos(phi);
    z = r * std::sin(phi);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_track_image out.png\n");
        return 2;
    }
    const int n = static_cast<int>(kSize / kPixel);
    const int samples = 4000;
    std::vector<double> px(samples + 1), pz(samples + 1);
    for (int k = 0; k <= samples; ++k) {
        curve(2 * kPi * k / samples, px[k], pz[k]);
    }
    sim::RgbaImage img;
    img.width = img.height = n;
    img.pixels.assign(static_cast<std::size_t>(n) * n * 4, 200);
    const unsigned char colors[3][3] = {{230, 40, 40}, {230, 230, 30}, {40, 40, 220}};
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            // Row j runs along -x from the top edge, column i along +z from the left edge.
            const double x = 0.5 * kSize - (j + 0.5) * kPixel;
            const double z = -0.5 * kSize + (i + 0.5) * kPixel;
            double best = 1e9;
            int best_k = 0;
            for (int k = 0; k < samples; ++k) {
                const double ex = px[k + 1] - px[k], ez = pz[k + 1] - pz[k];
                const double t = std::clamp(
                    ((x - px[k]) * ex + (z - pz[k]) * ez) / (ex * ex + ez * ez), 0.0, 1.0);
                const double d = std::hypot(x - px[k] - t * ex, z - pz[k] - t * ez);
                if (d < best) {
                    best = d;
                    best_k = k;
                }
            }
            const double cov = std::clamp((0.5 * kWidth - best) / kPixel + 0.5, 0.0, 1.0);
            const unsigned char* c = colors[3 * best_k / samples];
            unsigned char* p = &img.pixels[4 * (static_cast<std::size_t>(j) * n + i)];
            for (int ch = 0; ch < 3; ++ch) {
                p[ch] = static_cast<unsigned char>(std::lround(200 + (c[ch] - 200) * cov));
            }
            p[3] = 255;
        }
    }
    // Smallest radius of curvature, from three neighbouring samples.
    double rmin = 1e9;
    for (int k = 1; k < samples; ++k) {
        const double a = std::hypot(px[k] - px[k - 1], pz[k] - pz[k - 1]);
        const double b = std::hypot(px[k + 1] - px[k], pz[k + 1] - pz[k]);
        const double c = std::hypot(px[k + 1] - px[k - 1], pz[k + 1] - pz[k - 1]);
        const double cross =
            (px[k] - px[k - 1]) * (pz[k + 1] - pz[k]) - (pz[k] - pz[k - 1]) * (px[k + 1] - px[k]);
        if (std::fabs(cross) > 1e-15) {
            rmin = std::min(rmin, a * b * c / (2 * std::fabs(cross)));
        }
    }
    double length = 0;
    for (int k = 0; k < samples; ++k) {
        length += std::hypot(px[k + 1] - px[k], pz[k + 1] - pz[k]);
    }
    std::string error;
    if (!sim::write_png(argv[1], img, error)) {
        std::fprintf(stderr, "make_track_image: %s\n", error.c_str());
        return 1;
    }
    // At phi = 0 the curve runs along +z, i.e. heading -90 degrees.
    std::printf("start: x %.4f, z %.4f, heading -90; length %.3f m; smallest radius %.3f m\n",
                px[0], pz[0], length, rmin);
    return 0;
}
