// A scripted stand-in for the robot operations, for tests: it records every call with its
// arguments in order, serves scripted frames, positions and sensor readings, keeps robot time
// as the sum of the steps taken, and ends the run after a set number of steps.
#pragma once

#include <array>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace robot_double {

// Tags the double gives out; every other name gets 0 (no such device).
constexpr int kLeftMotor = 1;
constexpr int kRightMotor = 2;
constexpr int kCamera = 3;
constexpr int kDisplay = 4;
constexpr int kGps = 5;
constexpr int kFirstPs = 10;  // "ps0" .. "ps7" -> 10 .. 17
constexpr int kFirstLs = 20;  // "ls0" .. "ls7" -> 20 .. 27
constexpr int kTof = 30;

struct Script {
    int steps = 0;  // wb_robot_step returns 0 this many times, then -1
    int camera_width = 4;
    int camera_height = 3;
    // Frame served during step k (1-based) is frames[k-1], the last one repeated; with no
    // frames, a grey frame. Each holds width x height x 4 bytes (blue, green, red, alpha).
    std::vector<std::vector<unsigned char>> frames;
    // Position [m] served during step k, as frames; {0, 0, 0} when empty.
    std::vector<std::array<double, 3>> positions;
    // Raw readings of the distance and light sensors, by device name; 0.0 when absent.
    std::map<std::string, double> readings;
};

// One recorded operation.
struct Call {
    std::string name;             // e.g. "wb_motor_set_velocity"
    std::string text;             // string argument (device name), else empty
    std::vector<long long> ints;  // integer arguments (tags, periods, sizes, image ids, flags)
    std::vector<double> reals;    // real arguments (positions, speeds)
};

// "name(args)" with reals in %g, e.g. wb_motor_set_velocity(1, 0) or
// wb_robot_get_device("camera").
std::string describe(const Call& call);

// An image made by wb_display_image_new; ids count from 1.
struct Image {
    int id = 0;
    int width = 0;
    int height = 0;
    int format = 0;
    std::vector<unsigned char> pixels;  // copied when made
    bool deleted = false;
};

// Forgets every call and image and takes a new script.
void reset(const Script& script);

// Every call since the last reset, in order.
const std::vector<Call>& calls();

// describe() of every call, in order.
std::vector<std::string> call_texts();

// Images made since the last reset, by id - 1.
const std::vector<Image>& images();

// Adds an entry to the call record, for events outside the robot operations that a test wants
// to see in order (e.g. the release of a buffer).
void record(const Call& call);

// Called after each call is recorded, until the next reset; e.g. to look at the files or the
// output at that moment.
void set_observer(std::function<void(const Call&)> observer);

}  // namespace robot_double
