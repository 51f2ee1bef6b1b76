// Numbers as text, byte for byte as printf writes them, without printf's cost: the controller
// prints six numbers per step and logs five, and printf's general machinery (format parsing,
// multi-precision conversion) was a tenth of a whole run.
//
// Each function writes at `out` and returns the end of what it wrote (no terminating NUL).
#pragma once

namespace decimal_text {

// Room that one number may need at most: "%f" of -DBL_MAX is 1 + 309 + 1 + 6 characters.
constexpr int kMaxChars = 320;

// What printf's "%d" writes.
char* write_int(char* out, int value);

// What printf's "%f" writes in the default rounding mode (to nearest, ties to even): the
// exact value rounded to six decimals, a minus sign whenever the sign bit is set ("-0.000000"
// for -0.0 and for tiny negatives), "inf", "nan" and their signed forms. Magnitudes below 1e12
// are converted with exact integer arithmetic; the rest, and non-finite values, go through
// snprintf itself.
char* write_fixed6(char* out, double value);

// Copies the characters of `text` (without its NUL).
char* write_text(char* out, const char* text);

}  // namespace decimal_text
