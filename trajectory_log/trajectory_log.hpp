// Writer of "Robot.m", the MATLAB/Octave script that records a run: a matrix with one row per
// control step, then the statements that name its columns and plot the path and the speeds.
// None of these functions opens, flushes or closes the file.
#pragma once

#include <cstdio>

// "A = [" and a line end.
void write_log_header(std::FILE* file);

// One row: time [s], x [m], y [m], omegaL [rad/s], omegaR [rad/s], each "%f", one space apart.
void write_log_row(std::FILE* file, double time, double x, double y, double omegaL, double omegaR);

// The fourteen closing lines: "];", then the lines that name the columns and draw both
// figures.
void write_log_footer(std::FILE* file);
