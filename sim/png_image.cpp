// libpng's simplified API does the format conversions (palette, grey, 16-bit) for us.
#include "sim/png_image.hpp"

#include <png.h>

#include <cstdint>
#include <cstring>

namespace sim {

bool read_png(const std::string& path, RgbaImage& image, std::string& error) {
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) {
        error = png.message;
        return false;
    }
    png.format = PNG_FORMAT_RGBA;
    // The simplified reader allocates nothing that outlives the call but the caller's buffer;
    // a huge header must not make us allocate gigabytes.
    // At most 16384 pixels a side and 16,777,216 in all: 64 MiB of RGBA.
    if (png.width == 0 || png.height == 0 || png.width > 16384 || png.height > 16384 ||
        std::uint64_t{png.width} * png.height > 16777216) {
        png_image_free(&png);
        error = "image size " + std::to_string(png.width) + " x " + std::to_string(png.height) +
                " is outside 1 to 16384 pixels a side and 16777216 in all";
        return false;
    }
    std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, pixels.data(), 0, nullptr)) {
        error = png.message;
        png_image_free(&png);
        return false;
    }
    image.width = static_cast<int>(png.width);
    image.height = static_cast<int>(png.height);
    image.pixels = std::move(pixels);
    return true;
}

bool write_png(const std::string& path, const RgbaImage& image, std::string& error) {
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width);
    png.height = static_cast<png_uint_32>(image.height);
    png.format = PNG_FORMAT_RGBA;
    if (!png_image_write_to_file(&png, path.c_str(), 0, image.pixels.data(), 0, nullptr)) {
        error = png.message;
        return false;
    }
    return true;
}

}  // namespace sim
