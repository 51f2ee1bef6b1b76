#include "vision/line_center.hpp"

int find_line_center(const unsigned char* mask, int width, int height) {
    if (width < 1 || height < 1) {
        return 0;
    }
    const int row = height / 2;
    const int row_start = 4 * (row * width);
    int sum = 0;
    int count = 0;
    for (int x = 0; x < width; ++x) {
        if (mask[row_start + 4 * x + 1] == 250) {
            sum += x;
            ++count;
        }
    }
    return count > 0 ? sum / count : 0;
}
