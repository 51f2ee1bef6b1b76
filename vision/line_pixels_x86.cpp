// Vector row kernels of the fast classifier for x86-64: the integer rule of line_pixels_rule.hpp
// on one pixel per 16-bit lane. SSE2 is part of every x86-64 processor; the AVX2 kernel is
// compiled for that extension alone (target attribute) and chosen only after a CPUID check, so
// the library still runs on any x86-64. The remainder of a row that does not fill a vector
// goes through one zero-padded block (SSE2, and AVX2 rows shorter than a block) or through one
// more block that overlaps the one before (AVX2). The AVX2 frame kernel goes through frames of
// rows of 16 pixels or more as one run of pixels.
#include "vision/line_pixels_kernels.hpp"

#if LINE_PIXELS_X86

#include <immintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "vision/line_pixels_rule.hpp"

namespace line_pixels_kernels {
namespace {

namespace rule = line_pixels_rule;

// A marked mask pixel as a little-endian word: bytes (0, 250, 250, 250).
constexpr std::int32_t kMarkedWord = static_cast<std::int32_t>(0xFAFAFA00u);

// Finds the largest marked x among the pixels [first, first + n) of a mask row just written.
int last_marked_in(const unsigned char* mask_row, int first, int n) {
    for (int x = first + n - 1; x >= first; --x) {
        if (mask_row[4 * static_cast<std::ptrdiff_t>(x) + 1] == 250) {
            return x;
        }
    }
    return -1;
}

// The largest marked x of a row whose last marked block of `block` pixels starts at
// `last_block` (-1: no marked pixel).
int last_marked_x(const unsigned char* mask_row, int width, int last_block, int block) {
    if (last_block < 0) {
        return -1;
    }
    return last_marked_in(mask_row, last_block, std::min(block, width - last_block));
}

// ---- SSE2 ------------------------------------------------------------------------------

// All ones in the 16-bit lanes of the line pixels among the eight pixels in B, G, R.
inline __m128i line_lanes_sse2(__m128i B, __m128i G, __m128i R) {
    const __m128i lo = _mm_min_epi16(_mm_min_epi16(B, G), R);
    const __m128i hi = _mm_max_epi16(_mm_max_epi16(B, G), R);
    const __m128i sum = _mm_add_epi16(_mm_add_epi16(B, G), R);
    const __m128i saturated = _mm_cmpgt_epi16(_mm_mullo_epi16(sum, _mm_set1_epi16(3)),
                                              _mm_mullo_epi16(lo, _mm_set1_epi16(10)));
    const __m128i M = _mm_sub_epi16(hi, lo);
    const __m128i k = _mm_sub_epi16(_mm_sub_epi16(_mm_sub_epi16(sum, hi), lo), lo);
    const auto beyond = [&](std::uint16_t T) {
        return _mm_cmpgt_epi16(k, _mm_mulhi_epu16(M, _mm_set1_epi16(static_cast<short>(T))));
    };
    const __m128i not_below40 = beyond(rule::kBelow40);
    const __m128i beyond_60 = beyond(rule::kWithin10Of60);
    const __m128i beyond_240 = beyond(rule::kWithin10Of240);
    const __m128i not_above330 = beyond(rule::kAbove330);
    const __m128i b_lo = _mm_cmpeq_epi16(B, lo);
    const __m128i g_lo = _mm_cmpeq_epi16(G, lo);
    const __m128i r_lo = _mm_cmpeq_epi16(R, lo);
    const __m128i b_hi = _mm_cmpeq_epi16(B, hi);
    const __m128i g_hi = _mm_cmpeq_epi16(G, hi);
    const __m128i r_hi = _mm_cmpeq_epi16(R, hi);
    // red to yellow: below 40 or above 50; yellow to green: below 70
    const __m128i red_yellow =
        _mm_andnot_si128(_mm_andnot_si128(beyond_60, not_below40), _mm_and_si128(b_lo, r_hi));
    const __m128i yellow_green = _mm_and_si128(_mm_and_si128(b_lo, g_hi), beyond_60);
    // around blue: above 230 and below 250
    const __m128i blue =
        _mm_andnot_si128(beyond_240, _mm_and_si128(b_hi, _mm_or_si128(r_lo, g_lo)));
    // magenta to red: above 330
    const __m128i magenta_red = _mm_andnot_si128(not_above330, _mm_and_si128(r_hi, g_lo));
    const __m128i in =
        _mm_or_si128(_mm_or_si128(red_yellow, yellow_green), _mm_or_si128(blue, magenta_red));
    return _mm_and_si128(in, saturated);
}

// Classifies eight pixels, adds one per marked pixel to the 16-bit `lane_counts`, and returns
// the byte mask of the marked lanes (two bits per pixel).
inline int block_sse2(const unsigned char* in, unsigned char* out, __m128i& lane_counts) {
    const __m128i byte = _mm_set1_epi32(0xFF);
    const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 16));
    const __m128i B = _mm_packs_epi32(_mm_and_si128(v0, byte), _mm_and_si128(v1, byte));
    const __m128i G = _mm_packs_epi32(_mm_and_si128(_mm_srli_epi32(v0, 8), byte),
                                      _mm_and_si128(_mm_srli_epi32(v1, 8), byte));
    const __m128i R = _mm_packs_epi32(_mm_and_si128(_mm_srli_epi32(v0, 16), byte),
                                      _mm_and_si128(_mm_srli_epi32(v1, 16), byte));
    const __m128i line = line_lanes_sse2(B, G, R);
    const __m128i marked_word = _mm_set1_epi32(kMarkedWord);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                     _mm_and_si128(_mm_unpacklo_epi16(line, line), marked_word));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16),
                     _mm_and_si128(_mm_unpackhi_epi16(line, line), marked_word));
    lane_counts = _mm_sub_epi16(lane_counts, line);
    return _mm_movemask_epi8(line);
}

int sum_lanes(__m128i lane_counts) {
    const __m128i pairs = _mm_madd_epi16(lane_counts, _mm_set1_epi16(1));
    const __m128i quads = _mm_add_epi32(pairs, _mm_shuffle_epi32(pairs, 0x4E));
    return _mm_cvtsi128_si32(_mm_add_epi32(quads, _mm_shuffle_epi32(quads, 0xB1)));
}

int classify_row_sse2_impl(const unsigned char* frame_row, unsigned char* mask_row, int width,
                           int* last_x) {
    constexpr int kBlock = 8;
    constexpr int kBlocksPerFold = 32767;  // 16-bit lane counters are folded before overflow
    int count = 0;
    int last_block = -1;
    int x = 0;
    while (x + kBlock <= width) {
        __m128i lane_counts = _mm_setzero_si128();
        for (int n = 0; n < kBlocksPerFold && x + kBlock <= width; ++n, x += kBlock) {
            const int bits = block_sse2(frame_row + 4 * static_cast<std::ptrdiff_t>(x),
                                        mask_row + 4 * static_cast<std::ptrdiff_t>(x), lane_counts);
            last_block = bits != 0 ? x : last_block;
        }
        count += sum_lanes(lane_counts);
    }
    if (x < width) {
        // The rest of the row through a zero-padded block: black pixels are never marked.
        const std::size_t bytes = 4 * static_cast<std::size_t>(width - x);
        unsigned char in[4 * kBlock] = {};
        unsigned char out[4 * kBlock];
        std::memcpy(in, frame_row + 4 * static_cast<std::ptrdiff_t>(x), bytes);
        __m128i lane_counts = _mm_setzero_si128();
        last_block = block_sse2(in, out, lane_counts) != 0 ? x : last_block;
        count += sum_lanes(lane_counts);
        std::memcpy(mask_row + 4 * static_cast<std::ptrdiff_t>(x), out, bytes);
    }
    *last_x = last_marked_x(mask_row, width, last_block, kBlock);
    return count;
}

// ---- AVX2 ------------------------------------------------------------------------------

#define LINE_PIXELS_AVX2 __attribute__((target("avx2,popcnt")))

LINE_PIXELS_AVX2 inline __m256i line_lanes_avx2(__m256i B, __m256i G, __m256i R) {
    const __m256i lo = _mm256_min_epu16(_mm256_min_epu16(B, G), R);
    const __m256i hi = _mm256_max_epu16(_mm256_max_epu16(B, G), R);
    const __m256i sum = _mm256_add_epi16(_mm256_add_epi16(B, G), R);
    const __m256i saturated = _mm256_cmpgt_epi16(_mm256_mullo_epi16(sum, _mm256_set1_epi16(3)),
                                                 _mm256_mullo_epi16(lo, _mm256_set1_epi16(10)));
    const __m256i M = _mm256_sub_epi16(hi, lo);
    const __m256i k = _mm256_sub_epi16(_mm256_sub_epi16(_mm256_sub_epi16(sum, hi), lo), lo);
    const auto beyond = [&](std::uint16_t T) LINE_PIXELS_AVX2 {
        return _mm256_cmpgt_epi16(k,
                                  _mm256_mulhi_epu16(M, _mm256_set1_epi16(static_cast<short>(T))));
    };
    const __m256i not_below40 = beyond(rule::kBelow40);
    const __m256i beyond_60 = beyond(rule::kWithin10Of60);
    const __m256i beyond_240 = beyond(rule::kWithin10Of240);
    const __m256i not_above330 = beyond(rule::kAbove330);
    const __m256i b_lo = _mm256_cmpeq_epi16(B, lo);
    const __m256i g_lo = _mm256_cmpeq_epi16(G, lo);
    const __m256i r_lo = _mm256_cmpeq_epi16(R, lo);
    const __m256i b_hi = _mm256_cmpeq_epi16(B, hi);
    const __m256i g_hi = _mm256_cmpeq_epi16(G, hi);
    const __m256i r_hi = _mm256_cmpeq_epi16(R, hi);
    const __m256i red_yellow = _mm256_andnot_si256(_mm256_andnot_si256(beyond_60, not_below40),
                                                   _mm256_and_si256(b_lo, r_hi));
    const __m256i yellow_green = _mm256_and_si256(_mm256_and_si256(b_lo, g_hi), beyond_60);
    const __m256i blue =
        _mm256_andnot_si256(beyond_240, _mm256_and_si256(b_hi, _mm256_or_si256(r_lo, g_lo)));
    const __m256i magenta_red = _mm256_andnot_si256(not_above330, _mm256_and_si256(r_hi, g_lo));
    const __m256i in = _mm256_or_si256(_mm256_or_si256(red_yellow, yellow_green),
                                       _mm256_or_si256(blue, magenta_red));
    return _mm256_and_si256(in, saturated);
}

// Classifies sixteen pixels and returns one bit per marked pixel, bit i for pixel i.
LINE_PIXELS_AVX2 inline unsigned block_avx2(const unsigned char* in, unsigned char* out) {
    // Per 128-bit half: blue and green of its four pixels as 16-bit values; red likewise.
    const __m256i blue_green =
        _mm256_setr_epi8(0, -1, 4, -1, 8, -1, 12, -1, 1, -1, 5, -1, 9, -1, 13, -1, 0, -1, 4, -1, 8,
                         -1, 12, -1, 1, -1, 5, -1, 9, -1, 13, -1);
    const __m256i red =
        _mm256_setr_epi8(2, -1, 6, -1, 10, -1, 14, -1, -1, -1, -1, -1, -1, -1, -1, -1, 2, -1, 6, -1,
                         10, -1, 14, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m256i v0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
    const __m256i v1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 32));
    const __m256i bg0 = _mm256_shuffle_epi8(v0, blue_green);
    const __m256i bg1 = _mm256_shuffle_epi8(v1, blue_green);
    // Lane order in each 128-bit half: four pixels of v0, then the same four of v1.
    const __m256i B = _mm256_unpacklo_epi64(bg0, bg1);
    const __m256i G = _mm256_unpackhi_epi64(bg0, bg1);
    const __m256i R =
        _mm256_unpacklo_epi64(_mm256_shuffle_epi8(v0, red), _mm256_shuffle_epi8(v1, red));
    const __m256i line = line_lanes_avx2(B, G, R);
    // Widening each half's low four lanes restores v0's pixel order, the high four v1's. A
    // marked word has its top bit set, so the words' sign bits are the pixels in order.
    const __m256i marked_word = _mm256_set1_epi32(kMarkedWord);
    const __m256i first = _mm256_and_si256(_mm256_unpacklo_epi16(line, line), marked_word);
    const __m256i second = _mm256_and_si256(_mm256_unpackhi_epi16(line, line), marked_word);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), first);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32), second);
    return static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(first))) |
           static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(second))) << 8;
}

// The highest set bit of a non-zero word.
inline int highest_bit(unsigned bits) {
    return 31 - __builtin_clz(bits);
}

constexpr int kBlockAvx2 = 16;

LINE_PIXELS_AVX2 int classify_row_avx2_impl(const unsigned char* frame_row, unsigned char* mask_row,
                                            int width, int* last_x) {
    int count = 0;
    *last_x = -1;
    int x = 0;
    for (; x + kBlockAvx2 <= width; x += kBlockAvx2) {
        const unsigned bits = block_avx2(frame_row + 4 * static_cast<std::ptrdiff_t>(x),
                                         mask_row + 4 * static_cast<std::ptrdiff_t>(x));
        count += __builtin_popcount(bits);
        *last_x = bits != 0 ? x + highest_bit(bits) : *last_x;
    }
    if (x < width && width >= kBlockAvx2) {
        // The rest of a long row through one more block that ends at the row's end: it
        // rewrites the pixels it shares with the block before with the same values, and only
        // its new pixels are counted.
        const int start = width - kBlockAvx2;
        const unsigned bits = block_avx2(frame_row + 4 * static_cast<std::ptrdiff_t>(start),
                                         mask_row + 4 * static_cast<std::ptrdiff_t>(start));
        count += __builtin_popcount(bits >> (x - start));
        *last_x = bits != 0 ? start + highest_bit(bits) : *last_x;
    } else if (x < width) {
        // A row shorter than a block goes through a zero-padded one: black pixels are never
        // marked.
        const std::size_t bytes = 4 * static_cast<std::size_t>(width - x);
        unsigned char in[4 * kBlockAvx2] = {};
        unsigned char out[4 * kBlockAvx2];
        std::memcpy(in, frame_row + 4 * static_cast<std::ptrdiff_t>(x), bytes);
        const unsigned bits = block_avx2(in, out);
        count += __builtin_popcount(bits);
        *last_x = bits != 0 ? x + highest_bit(bits) : *last_x;
        std::memcpy(mask_row + 4 * static_cast<std::ptrdiff_t>(x), out, bytes);
    }
    return count;
}

// A whole frame of rows of at least one block, as one run of pixels in memory order: no work
// per row, and no partial block except one at the very end, which overlaps the block before
// and lies within the last row. A block holds pixels of at most two rows; the highest marked
// pixel of each part is that row's candidate for the largest marked x, and candidates come
// in increasing y, then x.
LINE_PIXELS_AVX2 int classify_frame_avx2_impl(const unsigned char* frame, unsigned char* mask,
                                              int width, int height, int* best_x, int* best_y) {
    const std::ptrdiff_t n = static_cast<std::ptrdiff_t>(width) * height;
    int count = 0;
    int bx = -1, by = -1;
    // Pixel `first` + i of a block is marked for each bit i; `row` is the row of `first` and
    // `row_end` the first pixel after it.
    const auto note = [&](std::ptrdiff_t first, int row, std::ptrdiff_t row_end, unsigned bits) {
        const std::ptrdiff_t split = row_end - first;  // pixels of the block in `row`
        const unsigned here = split >= kBlockAvx2 ? bits : bits & ((1u << split) - 1);
        if (here != 0) {
            const int x = static_cast<int>(first + highest_bit(here) - (row_end - width));
            if (x >= bx) {
                bx = x;
                by = row;
            }
        }
        // The rest of the block starts the next row, so bit i there is x = i.
        const unsigned next = split >= kBlockAvx2 ? 0 : bits >> split;
        if (next != 0 && highest_bit(next) >= bx) {
            bx = highest_bit(next);
            by = row + 1;
        }
    };
    int row = 0;
    std::ptrdiff_t row_end = width;
    std::ptrdiff_t p = 0;
    for (; p + kBlockAvx2 <= n; p += kBlockAvx2) {
        if (p >= row_end) {  // blocks are no longer than rows: one row at most
            ++row;
            row_end += width;
        }
        const unsigned bits = block_avx2(frame + 4 * p, mask + 4 * p);
        count += __builtin_popcount(bits);
        if (bits != 0) {
            note(p, row, row_end, bits);
        }
    }
    if (p < n) {
        const std::ptrdiff_t start = n - kBlockAvx2;
        const unsigned bits = block_avx2(frame + 4 * start, mask + 4 * start);
        count += __builtin_popcount(bits >> (p - start));
        if (bits != 0) {
            note(start, height - 1, n, bits);
        }
    }
    *best_x = bx;
    *best_y = by;
    return count;
}

}  // namespace

int classify_row_sse2(const unsigned char* frame_row, unsigned char* mask_row, int width,
                      int* last_x) {
    return classify_row_sse2_impl(frame_row, mask_row, width, last_x);
}

int classify_row_avx2(const unsigned char* frame_row, unsigned char* mask_row, int width,
                      int* last_x) {
    return classify_row_avx2_impl(frame_row, mask_row, width, last_x);
}

int classify_frame_avx2(const unsigned char* frame, unsigned char* mask, int width, int height,
                        int* best_x, int* best_y) {
    if (width < kBlockAvx2) {
        return classify_frame_by_rows(classify_row_avx2, frame, mask, width, height, best_x,
                                      best_y);
    }
    return classify_frame_avx2_impl(frame, mask, width, height, best_x, best_y);
}

bool cpu_has_avx2() {
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
}

}  // namespace line_pixels_kernels

#endif  // LINE_PIXELS_X86
