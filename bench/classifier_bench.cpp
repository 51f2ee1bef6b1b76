// The line-pixel classifier: the straightforward reference and the fast classifier (as the
// controller calls it, and each path alone) side by side on the same frames, so that the
// speed-up comes from one run. Throughput is in pixels per second (items). After the usual
// table, one line per frame gives each fast variant's speed-up over the reference.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "vision/line_pixels.hpp"
#include "vision/line_pixels_paths.hpp"
#include "vision/line_pixels_reference.hpp"

namespace {

struct Size {
    int width, height;
};

const Size kSizes[] = {{52, 39}, {640, 480}, {1920, 1080}};

// "floor": what the camera mostly sees, a noisy grey floor crossed by a coloured line band
// (about a tenth of each row, a few per cent of its pixels marked). "random": uniform random
// colours, about a third marked, the worst case for code that branches per pixel.
std::vector<unsigned char> make_frame(Size s, bool floor) {
    std::vector<unsigned char> frame(4 * static_cast<size_t>(s.width) * s.height);
    std::mt19937 rng(12345);
    for (int y = 0; y < s.height; ++y) {
        for (int x = 0; x < s.width; ++x) {
            unsigned char* p = &frame[4 * (static_cast<size_t>(y) * s.width + x)];
            const uint32_t v = rng();
            if (!floor) {
                p[0] = v & 0xFF;
                p[1] = (v >> 8) & 0xFF;
                p[2] = (v >> 16) & 0xFF;
            } else {
                const int band = s.width / 10;
                const int left = s.width / 2 - band / 2 + (y * s.width) / (4 * s.height);
                const bool line = x >= left && x < left + band;
                const int noise = static_cast<int>(v % 17) - 8;
                p[0] = static_cast<unsigned char>((line ? 20 : 120) + noise);
                p[1] = static_cast<unsigned char>((line ? 40 : 125) + noise);
                p[2] = static_cast<unsigned char>((line ? 200 : 118) + noise);
            }
            p[3] = 255;
        }
    }
    return frame;
}

using Classifier = int (*)(const unsigned char*, unsigned char*, int, int, double*);

void run(benchmark::State& state, Classifier classify, Size s, bool floor) {
    const std::vector<unsigned char> frame = make_frame(s, floor);
    std::vector<unsigned char> mask(frame.size());
    double color = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(classify(frame.data(), mask.data(), s.width, s.height, &color));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * s.width * s.height);
}

// The same frame in several copies whose frames and masks together exceed the last-level cache,
// visited in turn: every call reads and writes main memory, as a camera frame fresh from a
// device would.
void run_cold(benchmark::State& state, Classifier classify, Size s) {
    constexpr int kCopies = 4;
    std::vector<std::vector<unsigned char>> frames(kCopies, make_frame(s, true));
    std::vector<std::vector<unsigned char>> masks(kCopies,
                                                  std::vector<unsigned char>(frames[0].size()));
    double color = 0;
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            classify(frames[i].data(), masks[i].data(), s.width, s.height, &color));
        benchmark::ClobberMemory();
        i = (i + 1) % kCopies;
    }
    state.SetItemsProcessed(state.iterations() * s.width * s.height);
}

int on_portable(const unsigned char* f, unsigned char* m, int w, int h, double* c) {
    return detect_line_pixels_on(LinePixelsPath::portable, f, m, w, h, c);
}
int on_sse2(const unsigned char* f, unsigned char* m, int w, int h, double* c) {
    return detect_line_pixels_on(LinePixelsPath::sse2, f, m, w, h, c);
}
int on_avx2(const unsigned char* f, unsigned char* m, int w, int h, double* c) {
    return detect_line_pixels_on(LinePixelsPath::avx2, f, m, w, h, c);
}

struct Variant {
    const char* name;
    Classifier classify;
    LinePixelsPath path;  // for the availability check
    bool always;
};

const Variant kVariants[] = {
    {"reference", detect_line_pixels_reference, LinePixelsPath::portable, true},
    {"fast", detect_line_pixels, LinePixelsPath::portable, true},
    {"fast_portable", on_portable, LinePixelsPath::portable, false},
    {"fast_sse2", on_sse2, LinePixelsPath::sse2, false},
    {"fast_avx2", on_avx2, LinePixelsPath::avx2, false},
};

// Prints the usual table and keeps each benchmark's pixels per second for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    std::map<std::string, double> rate;
    void ReportRuns(const std::vector<Run>& report) override {
        ConsoleReporter::ReportRuns(report);
        for (const Run& r : report) {
            const auto it = r.counters.find("items_per_second");
            if (r.run_type == Run::RT_Iteration && !r.error_occurred && it != r.counters.end()) {
                rate[r.benchmark_name()] = it->second.value;
            }
        }
    }
};

std::string name_of(const Variant& v, Size s, bool floor) {
    return std::string("BM_Classifier_") + v.name + "/" + std::to_string(s.width) + "x" +
           std::to_string(s.height) + "/" + (floor ? "floor" : "random");
}

}  // namespace

int main(int argc, char** argv) {
    // Start-up: the classifier builds no tables; its first call also picks the path (CPUID).
    {
        const unsigned char pixel[4] = {0, 0, 255, 0};
        unsigned char mask[4];
        double color = 0;
        const auto start = std::chrono::steady_clock::now();
        detect_line_pixels(pixel, mask, 1, 1, &color);
        const std::chrono::duration<double, std::micro> first =
            std::chrono::steady_clock::now() - start;
        std::printf(
            "First call of detect_line_pixels (1 x 1 frame, includes choosing the path): %.1f us\n",
            first.count());
    }
    for (bool floor : {true, false}) {
        for (Size s : kSizes) {
            for (const Variant& v : kVariants) {
                if (!v.always && !line_pixels_path_available(v.path)) {
                    continue;
                }
                benchmark::RegisterBenchmark(name_of(v, s, floor).c_str(), run, v.classify, s,
                                             floor)
                    ->Unit(benchmark::kMicrosecond);
            }
        }
    }
    benchmark::RegisterBenchmark("BM_Classifier_fast/1920x1080/floor_from_memory", run_cold,
                                 detect_line_pixels, Size{1920, 1080})
        ->Unit(benchmark::kMicrosecond);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nSpeed-up over the reference, same run (default path: %s):\n",
                line_pixels_path_name(line_pixels_default_path()));
    for (bool floor : {true, false}) {
        for (Size s : kSizes) {
            const auto ref = reporter.rate.find(name_of(kVariants[0], s, floor));
            if (ref == reporter.rate.end() || ref->second <= 0) {
                continue;
            }
            std::printf("  %5dx%-5d %-6s reference %7.1f Mpx/s", s.width, s.height,
                        floor ? "floor" : "random", ref->second / 1e6);
            for (const Variant& v : kVariants) {
                const auto it = reporter.rate.find(name_of(v, s, floor));
                if (&v != &kVariants[0] && it != reporter.rate.end()) {
                    std::printf("  %s %.0f Mpx/s = %.0fx", v.name, it->second / 1e6,
                                it->second / ref->second);
                }
            }
            std::printf("\n");
        }
    }
    benchmark::Shutdown();
    return 0;
}
