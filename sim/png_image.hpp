// PNG files in and out, as plain 8-bit RGBA pixel arrays.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// width x height pixels, row after row from the top, 4 bytes each: red, green, blue, alpha.
struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
};

// Reads any PNG as 8-bit RGBA. Returns false and sets `error` when the file cannot be read.
bool read_png(const std::string& path, RgbaImage& image, std::string& error);

// Writes an 8-bit RGBA PNG. Returns false and sets `error` on failure.
bool write_png(const std::string& path, const RgbaImage& image, std::string& error);

}  // namespace sim
