// A finite double is m * 2^e exactly (m the 53-bit significand, e the exponent). Six decimals
// of it are round(|v| * 10^6) = round(m * 10^6 * 2^e): for e >= 0 an exact integer product;
// for e < 0 the product m * 10^6 (below 2^73) shifted right by -e, rounded to nearest with
// ties to even on the bits shifted out. That is the correctly rounded result that printf
// gives, computed in 128-bit integers.
#include "trajectory_log/decimal_text.hpp"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace decimal_text {
namespace {

__extension__ typedef unsigned __int128 Uint128;

constexpr std::uint64_t kMillion = 1000000;

// round(|v| * 10^6) for a finite |v| < 1e12 (so that the result stays below 2^64).
std::uint64_t millionths(double v) {
    const auto bits = std::bit_cast<std::uint64_t>(v);
    const int biased = static_cast<int>((bits >> 52) & 0x7FF);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    // Subnormals have no hidden bit and the exponent of the smallest normal.
    const std::uint64_t m = biased == 0 ? fraction : fraction | (std::uint64_t{1} << 52);
    const int e = (biased == 0 ? 1 : biased) - 1075;
    if (e >= 0) {
        return (m << e) * kMillion;  // |v| < 1e12 keeps m << e below 2^40
    }
    const int shift = -e;
    const Uint128 product = static_cast<Uint128>(m) * kMillion;  // below 2^73
    if (shift >= 75) {
        return 0;  // below a quarter of a millionth: rounds to 0
    }
    const Uint128 quotient = product >> shift;
    const Uint128 rest = product - (quotient << shift);
    const Uint128 half = static_cast<Uint128>(1) << (shift - 1);
    const bool up = rest > half || (rest == half && (quotient & 1) != 0);
    return static_cast<std::uint64_t>(quotient) + (up ? 1 : 0);
}

}  // namespace

char* write_int(char* out, int value) {
    return std::to_chars(out, out + 16, value).ptr;
}

char* write_fixed6(char* out, double value) {
    if (!(std::fabs(value) < 1e12)) {  // also NaN
        return out + std::snprintf(out, kMaxChars, "%f", value);
    }
    if (std::signbit(value)) {
        *out++ = '-';
    }
    const std::uint64_t n = millionths(value);
    out = std::to_chars(out, out + 24, n / kMillion).ptr;
    *out++ = '.';
    std::uint64_t frac = n % kMillion;
    for (int k = 5; k >= 0; --k) {
        out[k] = static_cast<char>('0' + frac % 10);
        frac /= 10;
    }
    return out + 6;
}

char* write_text(char* out, const char* text) {
    const std::size_t n = std::strlen(text);
    std::memcpy(out, text, n);
    return out + n;
}

}  // namespace decimal_text
