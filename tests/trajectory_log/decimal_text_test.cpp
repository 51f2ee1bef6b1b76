// Every number against printf itself, its straightforward twin.
#include "trajectory_log/decimal_text.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

namespace {

std::string by_printf(const char* format, double v) {
    char buf[decimal_text::kMaxChars + 1];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

std::string fixed6(double v) {
    char buf[decimal_text::kMaxChars];
    return std::string(buf, decimal_text::write_fixed6(buf, v));
}

struct FixedCase {
    const char* name;
    double value;
};

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Ties at the seventh decimal that binary holds exactly (multiples of 2^-7 = 0.0078125) round to
// the even sixth decimal: 0.0078125 -> 0.007812, 0.0234375 -> 0.023438. The largest value
// converted in integers is the double just below 1e12; 1e12 itself goes through snprintf.
const FixedCase kFixed[] = {
    {"zero", 0.0},
    {"negative_zero", -0.0},
    {"tiny_negative", -1e-9},
    {"smallest_subnormal", 4.9406564584124654e-324},
    {"negative_subnormal", -2.2250738585072009e-308},
    {"half_a_millionth_below", 4.9999999999999998e-07},
    {"half_a_millionth_above", 5.0000000000000008e-07},
    {"tie_to_even_down", 0.0078125},
    {"tie_to_even_up", 0.0234375},
    {"negative_tie", -2.5078125},
    {"running_time", 31999.999999},
    {"speed_limit", 6.28},
    {"negative_speed", -6.28},
    {"integer", 26.0},
    {"two_to_the_40", 1099511627776.0},
    {"below_1e12", 999999999999.99988},
    {"at_1e12", 1e12},
    {"large", 1.5e300},
    {"max", DBL_MAX},
    {"lowest", -DBL_MAX},
    {"inf", kInf},
    {"negative_inf", -kInf},
    {"nan", kNaN},
    {"negative_nan", -kNaN},
};

class Fixed6 : public ::testing::TestWithParam<FixedCase> {};

TEST_P(Fixed6, SameTextAsPrintf) {
    EXPECT_EQ(fixed6(GetParam().value), by_printf("%f", GetParam().value));
}

INSTANTIATE_TEST_SUITE_P(DecimalText, Fixed6, ::testing::ValuesIn(kFixed),
                         [](const auto& info) { return std::string(info.param.name); });

// Random bit patterns across every exponent that the integer conversion handles and a few
// beyond, and values just around each tie j / 128.
TEST(DecimalText, Fixed6SameTextAsPrintfOnRandomDoubles) {
    std::mt19937_64 rng(3);
    for (int k = 0; k < 2000000; ++k) {
        // Exponents from 2^-60 to 2^44, either sign.
        const std::uint64_t exponent = 1023 - 60 + rng() % 105;
        const std::uint64_t bits = (rng() & 0x800FFFFFFFFFFFFFULL) | (exponent << 52);
        const double v = std::bit_cast<double>(bits);
        ASSERT_EQ(fixed6(v), by_printf("%f", v)) << by_printf("%.17g", v);
    }
    for (int j = -300000; j <= 300000; ++j) {
        const double tie = j / 128.0;
        for (const double v : {std::nextafter(tie, -kInf), tie, std::nextafter(tie, kInf)}) {
            ASSERT_EQ(fixed6(v), by_printf("%f", v)) << by_printf("%.17g", v);
        }
    }
}

struct IntCase {
    const char* name;
    int value;
};

const IntCase kInts[] = {
    {"zero", 0}, {"one", 1}, {"negative", -88}, {"max", INT_MAX}, {"min", INT_MIN},
};

class Int : public ::testing::TestWithParam<IntCase> {};

TEST_P(Int, SameTextAsPrintf) {
    char buf[decimal_text::kMaxChars];
    const std::string text(buf, decimal_text::write_int(buf, GetParam().value));
    char expected[32];
    std::snprintf(expected, sizeof expected, "%d", GetParam().value);
    EXPECT_EQ(text, expected);
}

INSTANTIATE_TEST_SUITE_P(DecimalText, Int, ::testing::ValuesIn(kInts),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DecimalText, TextIsCopiedWithoutItsEnd) {
    char buf[16] = "xxxxxxxxxxxxxxx";
    char* end = decimal_text::write_text(buf, "abc");
    EXPECT_EQ(end, buf + 3);
    EXPECT_EQ(std::string(buf, 4), "abcx");
}

}  // namespace
