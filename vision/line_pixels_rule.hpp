// The line-pixel test in small integers, shared by every path of the fast classifier.
//
// The hue formula (line_pixels_reference.cpp) only sees the offsets of the channels above the
// smallest one, and one offset is zero. Name the largest offset M = max - min and the middle one
// k = mid - min; the hue then walks monotonically through one 60-degree sextant as k runs from 0
// to M, and each window edge inside a sextant becomes a bound on the ratio k / M. For 8-bit
// channels every window decision is therefore one comparison k <= (M * T) >> 16 with a 16-bit
// constant T; T / 65536 lies strictly between the last ratio inside the window and the first
// one outside (distinct ratios with M <= 255 lie more than 1 / 65536 apart, so such a T always
// exists, and it never equals a ratio k / M, so the floor in the shift is exact).
//
// The constants below are the smallest that separate the exact double-precision hue, found by
// evaluating the formula on every (sextant, M, k); the test suite proves the rule equal to the
// formula on every one of the 2^24 colours. The nearest hue of any 8-bit colour lies 1.7e-5
// degrees from a window edge, far beyond any last-bit difference of a math library's acos.
//
// The saturation test (S - m) / S > 0.7, with S = R + G + B and m the smallest channel, is exact
// in integers as 3 * S > 10 * m: the ratio has a denominator of at most 765, so it never lies
// within rounding distance of 0.7, and the exact tie (80, 60, 60) fails both forms.
//
// Greys (M = 0) pass the window bounds below but never the saturation test (9 m > 10 m fails).
#pragma once

#include <algorithm>
#include <cstdint>

namespace line_pixels_rule {

// Hue 0..60 (red largest, blue smallest, k = green offset): below 40 deg iff k <= M*T >> 16.
inline constexpr std::uint16_t kBelow40 = 42775;
// Hue 0..60: above 50 deg iff k > M*T >> 16. Hue 60..120 (green largest, blue smallest,
// k = red offset): below 70 deg iff k > M*T >> 16; the two edges mirror each other about 60.
inline constexpr std::uint16_t kWithin10Of60 = 53423;
// Hue 180..240 (blue largest, red smallest, k = green offset): above 230 deg, and hue 240..300
// (blue largest, green smallest, k = red offset): below 250 deg, iff k <= M*T >> 16.
inline constexpr std::uint16_t kWithin10Of240 = 12110;
// Hue 300..360 (red largest, green smallest, k = blue offset): above 330 deg iff k <= M*T >> 16.
inline constexpr std::uint16_t kAbove330 = 32640;

// (M * T) >> 16, the largest k whose ratio k / M lies below T / 65536.
constexpr unsigned bound(unsigned M, std::uint16_t T) {
    return (M * T) >> 16;
}

// Whether the pixel with these channel values is a line pixel. Written without branches (bitwise
// & and | on the conditions) so that random colours cost no mispredictions and compilers may
// vectorise loops over it.
constexpr bool is_line_pixel(unsigned B, unsigned G, unsigned R) {
    const unsigned lo = std::min(std::min(B, G), R);
    const unsigned hi = std::max(std::max(B, G), R);
    const unsigned sum = B + G + R;
    const bool saturated = 3 * sum > 10 * lo;
    const unsigned M = hi - lo;
    const unsigned k = sum - hi - lo - lo;
    const bool below40 = k <= bound(M, kBelow40);
    const bool beyond60 = k > bound(M, kWithin10Of60);
    const bool near240 = k <= bound(M, kWithin10Of240);
    const bool above330 = k <= bound(M, kAbove330);
    // Ties put a pixel into two sextants; they agree on it, so each sextant is tested alone.
    const bool red_yellow = (B == lo) & (R == hi) & (below40 | beyond60);
    const bool yellow_green = (B == lo) & (G == hi) & beyond60;
    const bool blue = (B == hi) & ((R == lo) | (G == lo)) & near240;
    const bool magenta_red = (R == hi) & (G == lo) & above330;
    return saturated & (red_yellow | yellow_green | blue | magenta_red);
}

}  // namespace line_pixels_rule
