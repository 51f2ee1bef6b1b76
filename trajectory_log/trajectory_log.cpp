#include "trajectory_log/trajectory_log.hpp"

void write_log_header(std::FILE* file) {
    std::fputs("A = [\n", file);
}

void write_log_row(std::FILE* file, double time, double x, double y, double omegaL, double omegaR) {
    std::fprintf(file, "%f %f %f %f %f\n", time, x, y, omegaL, omegaR);
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
