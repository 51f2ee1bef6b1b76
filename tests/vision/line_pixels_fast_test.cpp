// The fast classifier against its straightforward twin, on every implementation path: every
// 8-bit colour once, random frames of many shapes, and small frames that pin which pixel's hue
// ends in `color`. Plus the integer form of the saturation test, over every colour.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iomanip>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "vision/line_pixels.hpp"
#include "vision/line_pixels_paths.hpp"
#include "vision/line_pixels_reference.hpp"

namespace {

constexpr double kUnset = -12345.0;

// One way to call the classifier: through detect_line_pixels, or on one explicit path.
struct Path {
    const char* name;
    bool dispatched;
    LinePixelsPath path;
};

void PrintTo(const Path& p, std::ostream* os) {
    *os << p.name;
}

const Path kPaths[] = {
    {"dispatched", true, LinePixelsPath::portable},
    {"portable", false, LinePixelsPath::portable},
    {"sse2", false, LinePixelsPath::sse2},
    {"avx2", false, LinePixelsPath::avx2},
};

// Skips the running test when the processor lacks the path.
#define SKIP_IF_UNAVAILABLE(p)                                                              \
    if (!(p).dispatched && !line_pixels_path_available((p).path)) {                         \
        GTEST_SKIP() << "path " << (p).name << " is not available on this processor/build"; \
    }

struct Result {
    std::vector<unsigned char> mask;
    int count = 0;
    double color = kUnset;
};

// Runs the classifier on `path`, or the reference when `path` is null; the mask starts as a
// 0xCD pattern so that unwritten bytes show.
Result classify(const Path* path, const std::vector<unsigned char>& frame, size_t mask_bytes,
                int width, int height) {
    Result r;
    r.mask.assign(mask_bytes, 0xCD);
    if (path == nullptr) {
        r.count =
            detect_line_pixels_reference(frame.data(), r.mask.data(), width, height, &r.color);
    } else if (path->dispatched) {
        r.count = detect_line_pixels(frame.data(), r.mask.data(), width, height, &r.color);
    } else {
        r.count =
            detect_line_pixels_on(path->path, frame.data(), r.mask.data(), width, height, &r.color);
    }
    return r;
}

// Empty when equal, else where the first difference lies.
std::string difference(const Result& want, const Result& got, int width) {
    if (want.count != got.count) {
        return "count " + std::to_string(got.count) + ", want " + std::to_string(want.count);
    }
    // Bit for bit, so that "unchanged" and NaN compare as well.
    if (std::memcmp(&want.color, &got.color, sizeof(double)) != 0) {
        std::ostringstream text;
        text << std::setprecision(17) << "color " << got.color << ", want " << want.color;
        return text.str();
    }
    for (size_t i = 0; i < want.mask.size(); ++i) {
        if (want.mask[i] != got.mask[i]) {
            const size_t pixel = i / 4;
            const size_t w = width > 0 ? static_cast<size_t>(width) : 1;
            return "mask byte " + std::to_string(i) + " (x " + std::to_string(pixel % w) + ", y " +
                   std::to_string(pixel / w) + ") is " + std::to_string(got.mask[i]) + ", want " +
                   std::to_string(want.mask[i]);
        }
    }
    return "";
}

// --- every colour ----------------------------------------------------------------------------

// A 4096 x 4096 frame holding each colour once (red, green, blue from the pixel index), with a
// varying alpha byte that must not matter.
class EveryColour : public testing::TestWithParam<Path> {
  protected:
    static constexpr int kSide = 4096;
    static void SetUpTestSuite() {
        frame_ = new std::vector<unsigned char>(4u * kSide * kSide);
        for (uint32_t c = 0; c < kSide * kSide; ++c) {
            (*frame_)[4 * size_t{c} + 0] = c & 0xFF;
            (*frame_)[4 * size_t{c} + 1] = (c >> 8) & 0xFF;
            (*frame_)[4 * size_t{c} + 2] = (c >> 16) & 0xFF;
            (*frame_)[4 * size_t{c} + 3] = (c * 37) & 0xFF;
        }
        want_ = new Result(classify(nullptr, *frame_, frame_->size(), kSide, kSide));
    }
    static void TearDownTestSuite() {
        delete frame_;
        delete want_;
    }
    static std::vector<unsigned char>* frame_;
    static Result* want_;
};
std::vector<unsigned char>* EveryColour::frame_ = nullptr;
Result* EveryColour::want_ = nullptr;

TEST_P(EveryColour, MatchesReferenceOnEveryColour) {
    SKIP_IF_UNAVAILABLE(GetParam());
    ASSERT_EQ(want_->count, 5063901);  // the reference's own count: anchors the comparison
    const Result got = classify(&GetParam(), *frame_, frame_->size(), kSide, kSide);
    EXPECT_EQ(difference(*want_, got, kSide), "");
}

INSTANTIATE_TEST_SUITE_P(Paths, EveryColour, testing::ValuesIn(kPaths),
                         [](const auto& info) { return std::string(info.param.name); });

// --- random frames ---------------------------------------------------------------------------

struct Shape {
    int width, height;
};

// Uniform random colours (about a third marked, the last marked pixel near the bottom right)
// or a grey floor with a sprinkling of random colours (few marked, anywhere).
enum class Content { uniform, sparse };

void PrintTo(Content c, std::ostream* os) {
    *os << (c == Content::uniform ? "uniform" : "sparse");
}

void PrintTo(const Shape& s, std::ostream* os) {
    *os << s.width << " x " << s.height;
}

std::vector<unsigned char> random_frame(Shape s, Content content, uint32_t seed) {
    const size_t pixels =
        s.width > 0 && s.height > 0 ? static_cast<size_t>(s.width) * s.height : size_t{0};
    // Frames without pixels still get a few bytes, so that any read of them would be visible.
    std::vector<unsigned char> frame(pixels > 0 ? 4 * pixels : 64);
    std::mt19937 rng(seed);
    for (size_t i = 0; i < frame.size(); i += 4) {
        const uint32_t v = rng();
        const bool grey = content == Content::sparse && v % 64 != 0;
        for (int c = 0; c < 3; ++c) {
            frame[i + c] = grey ? (v >> 8) & 0xFF : (v >> (8 * c + 8)) & 0xFF;
        }
        frame[i + 3] = v & 0xFF;
    }
    return frame;
}

class RandomFrames : public testing::TestWithParam<std::tuple<Path, Shape, Content>> {};

TEST_P(RandomFrames, MatchReference) {
    const auto& [path, shape, content] = GetParam();
    SKIP_IF_UNAVAILABLE(path);
    const auto frame = random_frame(shape, content, 1000u * shape.width + shape.height);
    const Result want = classify(nullptr, frame, frame.size(), shape.width, shape.height);
    const Result got = classify(&path, frame, frame.size(), shape.width, shape.height);
    EXPECT_EQ(difference(want, got, shape.width), "");
    if (shape.width <= 0 || shape.height <= 0) {
        // Nothing written, nothing counted, color untouched.
        EXPECT_EQ(got.count, 0);
        EXPECT_EQ(got.mask, std::vector<unsigned char>(frame.size(), 0xCD));
        EXPECT_EQ(got.color, kUnset);
    }
}

// Widths around the vector blocks (8 and 16 pixels) and the camera sizes in use.
const Shape kShapes[] = {
    {0, 0},  {0, 7},  {7, 0},   {-3, 5},  {5, -3},    {1, 1},       {1, 9},  {9, 1},
    {3, 5},  {7, 3},  {8, 2},   {15, 4},  {16, 3},    {17, 5},      {23, 2}, {31, 3},
    {32, 2}, {33, 7}, {52, 39}, {641, 3}, {640, 480}, {1920, 1080},
};

std::string shape_case_name(const testing::TestParamInfo<RandomFrames::ParamType>& info) {
    const Path& path = std::get<0>(info.param);
    const Shape& shape = std::get<1>(info.param);
    auto dim = [](int v) { return v < 0 ? "minus" + std::to_string(-v) : std::to_string(v); };
    return std::string(path.name) + "_" + dim(shape.width) + "x" + dim(shape.height) + "_" +
           (std::get<2>(info.param) == Content::uniform ? "uniform" : "sparse");
}

INSTANTIATE_TEST_SUITE_P(PathsAndShapes, RandomFrames,
                         testing::Combine(testing::ValuesIn(kPaths), testing::ValuesIn(kShapes),
                                          testing::Values(Content::uniform, Content::sparse)),
                         shape_case_name);

// --- which hue ends in color -----------------------------------------------------------------

struct Marked {
    int x, y;
    int r, g, b;
};

struct OrderCase {
    const char* name;
    std::vector<Marked> marked;  // on a grey 20 x 6 frame: one vector block plus a tail
    int winner;                  // index into `marked` whose hue ends in color, -1 for none
};

void PrintTo(const OrderCase& c, std::ostream* os) {
    *os << c.name;
}

class ColourOrder : public testing::TestWithParam<std::tuple<Path, OrderCase>> {};

TEST_P(ColourOrder, IsTheHueOfTheLargestXThenLargestY) {
    const auto& [path, c] = GetParam();
    SKIP_IF_UNAVAILABLE(path);
    constexpr int kWidth = 20, kHeight = 6;
    std::vector<unsigned char> frame(4 * kWidth * kHeight, 128);  // grey: never marked
    for (const Marked& m : c.marked) {
        unsigned char* p = &frame[4 * (m.y * kWidth + m.x)];
        p[0] = m.b;
        p[1] = m.g;
        p[2] = m.r;
    }
    const Result got = classify(&path, frame, frame.size(), kWidth, kHeight);
    EXPECT_EQ(got.count, static_cast<int>(c.marked.size()));
    const double want = c.winner < 0
                            ? kUnset
                            : line_pixel_hue_degrees(c.marked[c.winner].r, c.marked[c.winner].g,
                                                     c.marked[c.winner].b);
    EXPECT_EQ(got.color, want);
}

// Saturated colours with distinct hues: red ~0.03, yellow ~60, blue ~240, rose ~347 degrees.
const OrderCase kOrderCases[] = {
    {"NoneMarked", {}, -1},
    {"OnePixel", {{3, 2, 255, 0, 0}}, 0},
    {"LargerXBeatsLaterRow", {{19, 0, 255, 0, 0}, {0, 5, 255, 255, 0}}, 0},
    {"SameColumnLargerY", {{10, 1, 255, 0, 0}, {10, 4, 0, 0, 255}, {2, 5, 255, 255, 0}}, 1},
    {"TailBeatsVectorBlock", {{15, 5, 255, 0, 60}, {16, 0, 0, 0, 255}}, 1},
    {"VectorBlockAlone", {{15, 0, 255, 0, 60}, {4, 5, 0, 0, 255}}, 0},
    {"FirstPixelOnly", {{0, 0, 255, 255, 0}}, 0},
    {"LastPixelAmongMany", {{0, 0, 255, 0, 0}, {19, 5, 0, 0, 255}, {19, 4, 255, 255, 0}}, 1},
};

INSTANTIATE_TEST_SUITE_P(PathsAndCases, ColourOrder,
                         testing::Combine(testing::ValuesIn(kPaths),
                                          testing::ValuesIn(kOrderCases)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    std::get<1>(info.param).name;
                         });

// --- the saturation test in integers ---------------------------------------------------------

TEST(SaturationTest, RatioAbove07EqualsThreeSumsAboveTenMinimaForEveryColour) {
    for (int R = 0; R < 256; ++R) {
        for (int G = 0; G < 256; ++G) {
            for (int B = 0; B < 256; ++B) {
                const double r = R, g = G, b = B;
                const double m = std::fmin(std::fmin(r, g), b);
                const double S = r + g + b;
                const bool ratio = (S - m) / S > 0.7;
                const int lo = std::min(std::min(R, G), B);
                const bool integers = 3 * (R + G + B) > 10 * lo;
                if (ratio != integers) {
                    FAIL() << "R " << R << " G " << G << " B " << B << ": ratio test " << ratio
                           << ", integer test " << integers;
                }
            }
        }
    }
}

}  // namespace
