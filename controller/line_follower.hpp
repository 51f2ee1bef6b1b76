// The controller's entry: start-up, the control cycle once per robot step until the robot ends
// the run, and shutdown.
#pragma once

// File-scope current wheel speeds [rad/s], written each cycle from the steering law (already
// limited to -6.28 .. 6.28) and read by the log row and the wheel command.
extern double omegaL;
extern double omegaR;

// Runs the controller in the working directory and returns the exit status.
//
// Start-up: creates "Robot.m" (mode "w", line-buffered so every line reaches the file as it is
// written and a killed run keeps its rows), writes its header, attaches to the robot, sets up
// motors, camera with display and position sensor, allocates the line mask.
// Cycle, until wb_robot_step returns -1: frame -> mask and pixel count (hue kept in `color`,
// 0.0 until a pixel is first marked) -> "nr_pels_detected = %d, Color is %f" -> mask pasted at
// (0, 0) on the display and the image released at once -> line centre -> wheel speeds ->
// "line_center = %f, percent error = %f, omegaL = %f, omegaR = %f" -> time += 0.016 s -> one
// log row (time, position[2], position[0], omegaL, omegaR) -> speeds to the motors.
// Shutdown: frees the mask, writes "zeros(0,5)" if no row was written (so the script's matrix
// is 0-by-5 and the column selections still work), writes the footer, closes the file,
// detaches, returns 0.
//
// Failures, each reported as one line on stderr:
// - "Robot.m" cannot be opened: returns 1 before attaching to the robot;
// - the mask cannot be allocated: closes "Robot.m" (header only, no footer), detaches and
//   returns 1.
int line_follower_main();

// Puts the controller's file-scope state (device tags, image size, wheel speeds) back to its
// initial values, so that tests can run the controller more than once in one process.
void reset_line_follower_state();
