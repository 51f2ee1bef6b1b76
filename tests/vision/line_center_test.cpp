#include "vision/line_center.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct CentreCase {
    const char* name;
    int width, height;
    std::vector<int> middle_row_columns;  // marked on row height / 2
    int expected;
};

// A mask with the given columns marked on the middle row, and every pixel of the other rows
// marked too, so that a finder looking at the wrong row is caught.
std::vector<unsigned char> mask_of(const CentreCase& c) {
    std::vector<unsigned char> mask(4 * static_cast<size_t>(c.width) * c.height, 0);
    const int row = c.height / 2;
    for (int y = 0; y < c.height; ++y) {
        for (int x = 0; x < c.width && y != row; ++x) {
            mask[4 * (y * c.width + x) + 1] = 250;
        }
    }
    for (int x : c.middle_row_columns) {
        mask[4 * (row * c.width + x) + 1] = 250;
    }
    return mask;
}

void PrintTo(const CentreCase& c, std::ostream* os) {
    *os << c.name;
}

class CentreFinder : public ::testing::TestWithParam<CentreCase> {};

TEST_P(CentreFinder, MeanColumnOfMiddleRow) {
    const CentreCase& c = GetParam();
    const auto mask = mask_of(c);
    EXPECT_EQ(find_line_center(mask.data(), c.width, c.height), c.expected);
}

std::vector<int> all_columns(int width) {
    std::vector<int> v;
    for (int x = 0; x < width; ++x)
        v.push_back(x);
    return v;
}

INSTANTIATE_TEST_SUITE_P(
    LineCenter, CentreFinder,
    ::testing::Values(
        // Nothing on the middle row gives 0, the same as a line touching only column 0.
        CentreCase{"empty_middle_row", 52, 39, {}, 0}, CentreCase{"only_column_0", 52, 39, {0}, 0},
        CentreCase{"columns_3_and_4_truncate", 52, 39, {3, 4}, 3},  // 7 / 2
        CentreCase{"last_column", 52, 39, {51}, 51},
        CentreCase{"whole_row_even_width", 52, 39, all_columns(52), 25},  // 1326 / 52
        CentreCase{"whole_row_odd_width", 7, 5, all_columns(7), 3},       // 21 / 7
        CentreCase{"height_1_uses_row_0", 5, 1, {4}, 4},
        CentreCase{"height_2_uses_row_1", 5, 2, {1, 2}, 1},  // 3 / 2
        CentreCase{"widest_16_bit_row", 65535, 1, all_columns(65535), 32767}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LineCenter, OnlyTheGreenByteCounts) {
    // Pixel 1 carries 250 in green only; pixel 2 carries 250 everywhere but green.
    const unsigned char mask[3 * 4] = {0, 0, 0, 0, 17, 250, 3, 99, 250, 0, 250, 250};
    EXPECT_EQ(find_line_center(mask, 3, 1), 1);
}

TEST(LineCenter, EmptyMaskIsNotRead) {
    // A null mask would crash if it were read.
    EXPECT_EQ(find_line_center(nullptr, 52, 0), 0);
    EXPECT_EQ(find_line_center(nullptr, 0, 39), 0);
    EXPECT_EQ(find_line_center(nullptr, -1, 39), 0);
}

}  // namespace
