#include "trajectory_log/trajectory_log.hpp"

#include <cstddef>
#include <initializer_list>

#include "trajectory_log/decimal_text.hpp"

void write_log_header(std::FILE* file) {
    std::fputs("A = [\n", file);
}

void write_log_row(std::FILE* file, double time, double x, double y, double omegaL, double omegaR) {
    // The text of fprintf(file, "%f %f %f %f %f\n", ...), handed over in one piece: on a
    // line-buffered file that is one write.
    char row[5 * decimal_text::kMaxChars];
    char* p = decimal_text::write_fixed6(row, time);
    for (const double v : {x, y, omegaL, omegaR}) {
        *p++ = ' ';
        p = decimal_text::write_fixed6(p, v);
    }
    *p++ = '\n';
    std::fwrite(row, 1, static_cast<std::size_t>(p - row), file);
}

void write_log_footer(std::FILE* file) {
    std::fputs(
        "];\n"
        "time   = A(:,1);\n"
        "x      = A(:,2);\n"
        "y      = A(:,3);\n"
        "omegaL = A(:,4);\n"
        "omegaR = A(:,5);\n"
        "figure(1);\n"
        "plot(x,y,'+');\n"
        "ylabel('y');\n"
        "xlabel('x');\n"
        "figure(2);\n"
        "plot(time,omegaL,time,omegaR);\n"
        "ylabel('omegaL (blue), omegaR (red)');\n"
        "xlabel('time');\n",
        file);
}
