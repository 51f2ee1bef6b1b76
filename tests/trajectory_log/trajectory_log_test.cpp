#include "trajectory_log/trajectory_log.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

// Everything written to a temporary file, read back as bytes.
template <typename Write>
std::string written(Write write) {
    std::FILE* file = std::tmpfile();
    EXPECT_NE(file, nullptr);
    write(file);
    std::string text;
    std::rewind(file);
    for (int c; (c = std::fgetc(file)) != EOF;)
        text.push_back(static_cast<char>(c));
    std::fclose(file);
    return text;
}

std::string golden(const char* name) {
    std::ifstream in(std::string(GOLDEN_DIR) + "/" + name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(TrajectoryLog, ScriptMatchesGoldenFile) {
    // Rows with negative values and zeros; x rounds to six decimals.
    const std::string text = written([](std::FILE* f) {
        write_log_header(f);
        write_log_row(f, 0.016, 0.1, -0.25, 4.71, 4.71);
        write_log_row(f, 0.032, -1.2345675, 0.0, -6.28, 6.28);
        write_log_row(f, 0.048, 0.0, 0.0, 0.0, 0.0);
        write_log_footer(f);
    });
    EXPECT_EQ(text, golden("three_rows.m"));
}

TEST(TrajectoryLog, HeaderThenFooterWhenNoRow) {
    const std::string text = written([](std::FILE* f) {
        write_log_header(f);
        write_log_footer(f);
    });
    const std::string full = golden("three_rows.m");
    const size_t rows_begin = full.find('\n') + 1;
    const size_t rows_end = full.find("];\n");
    EXPECT_EQ(text, full.substr(0, rows_begin) + full.substr(rows_end));
}

struct TimeCase {
    const char* name;
    long steps;
    const char* time_text;
};

void PrintTo(const TimeCase& c, std::ostream* os) {
    *os << c.name;
}

class RunningSumTime : public ::testing::TestWithParam<TimeCase> {};

TEST_P(RunningSumTime, RowCarriesSumOfSteps) {
    // The time is a running sum of 0.016, not steps * 0.016: rounding errors pile up.
    double time = 0.0;
    for (long k = 0; k < GetParam().steps; ++k)
        time = time + 0.016;
    const std::string row = written([&](std::FILE* f) { write_log_row(f, time, 0, 0, 0, 0); });
    EXPECT_EQ(row, std::string(GetParam().time_text) + " 0.000000 0.000000 0.000000 0.000000\n");
}

INSTANTIATE_TEST_SUITE_P(TrajectoryLog, RunningSumTime,
                         ::testing::Values(TimeCase{"first_step", 1, "0.016000"},
                                           TimeCase{"step_100", 100, "1.600000"},
                                           TimeCase{"step_2000000", 2000000, "31999.999999"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
