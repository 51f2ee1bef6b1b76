#include "tests/support/robot_double.hpp"

#include <cstdio>
#include <deque>
#include <utility>

#include "robot_api/robot_api.h"

struct DisplayImage {
    int id;
};

namespace robot_double {
namespace {

Script g_script;
std::vector<Call> g_calls;
std::vector<Image> g_images;
std::deque<DisplayImage> g_handles;  // handles given out; a deque keeps them in place
std::function<void(const Call&)> g_observer;
int g_steps_taken = 0;
long long g_time_ms = 0;  // [ms] sum of the step durations
std::vector<unsigned char> g_grey;
std::array<double, 3> g_position{};

template <typename T>
const T* scripted(const std::vector<T>& items, const T* fallback) {
    if (items.empty()) {
        return fallback;
    }
    std::size_t k = g_steps_taken > 0 ? static_cast<std::size_t>(g_steps_taken - 1) : 0;
    if (k >= items.size()) {
        k = items.size() - 1;
    }
    return &items[k];
}

double reading(DeviceTag tag) {
    std::string name;
    if (tag >= kFirstPs && tag < kFirstPs + 8) {
        name = "ps" + std::to_string(tag - kFirstPs);
    } else if (tag >= kFirstLs && tag < kFirstLs + 8) {
        name = "ls" + std::to_string(tag - kFirstLs);
    } else if (tag == kTof) {
        name = "tof";
    }
    const auto it = g_script.readings.find(name);
    return it == g_script.readings.end() ? 0.0 : it->second;
}

}  // namespace

std::string describe(const Call& call) {
    std::string s = call.name + "(";
    bool first = true;
    auto sep = [&] {
        if (!first) {
            s += ", ";
        }
        first = false;
    };
    if (!call.text.empty()) {
        sep();
        s += "\"" + call.text + "\"";
    }
    for (long long v : call.ints) {
        sep();
        s += std::to_string(v);
    }
    for (double v : call.reals) {
        sep();
        char buf[64];
        std::snprintf(buf, sizeof buf, "%g", v);
        s += buf;
    }
    return s + ")";
}

void reset(const Script& script) {
    g_script = script;
    g_calls.clear();
    g_images.clear();
    g_handles.clear();
    g_observer = nullptr;
    g_steps_taken = 0;
    g_time_ms = 0;
    g_grey.clear();
    g_position = {0.0, 0.0, 0.0};
}

const std::vector<Call>& calls() {
    return g_calls;
}

std::vector<std::string> call_texts() {
    std::vector<std::string> texts;
    for (const Call& c : g_calls) {
        texts.push_back(describe(c));
    }
    return texts;
}

const std::vector<Image>& images() {
    return g_images;
}

void record(const Call& call) {
    g_calls.push_back(call);
    if (g_observer) {
        g_observer(g_calls.back());
    }
}

void set_observer(std::function<void(const Call&)> observer) {
    g_observer = std::move(observer);
}

}  // namespace robot_double

using robot_double::Call;
using robot_double::record;

extern "C" {

void wb_robot_init(void) {
    record({"wb_robot_init", "", {}, {}});
}

int wb_robot_step(int duration_ms) {
    record({"wb_robot_step", "", {duration_ms}, {}});
    if (robot_double::g_steps_taken >= robot_double::g_script.steps) {
        return -1;
    }
    ++robot_double::g_steps_taken;
    robot_double::g_time_ms += duration_ms;
    return 0;
}

void wb_robot_cleanup(void) {
    record({"wb_robot_cleanup", "", {}, {}});
}

DeviceTag wb_robot_get_device(const char* name) {
    record({"wb_robot_get_device", name, {}, {}});
    static const std::map<std::string, int> tags = [] {
        std::map<std::string, int> t = {{"left wheel motor", robot_double::kLeftMotor},
                                        {"right wheel motor", robot_double::kRightMotor},
                                        {"camera", robot_double::kCamera},
                                        {"display", robot_double::kDisplay},
                                        {"gps", robot_double::kGps},
                                        {"tof", robot_double::kTof}};
        for (int i = 0; i < 8; ++i) {
            t["ps" + std::to_string(i)] = robot_double::kFirstPs + i;
            t["ls" + std::to_string(i)] = robot_double::kFirstLs + i;
        }
        return t;
    }();
    const auto it = tags.find(name);
    return static_cast<DeviceTag>(it == tags.end() ? 0 : it->second);
}

double wb_robot_get_time(void) {
    record({"wb_robot_get_time", "", {}, {}});
    return static_cast<double>(robot_double::g_time_ms) / 1000.0;
}

void wb_camera_enable(DeviceTag camera, int period_ms) {
    record({"wb_camera_enable", "", {camera, period_ms}, {}});
}

int wb_camera_get_width(DeviceTag camera) {
    record({"wb_camera_get_width", "", {camera}, {}});
    return robot_double::g_script.camera_width;
}

int wb_camera_get_height(DeviceTag camera) {
    record({"wb_camera_get_height", "", {camera}, {}});
    return robot_double::g_script.camera_height;
}

const unsigned char* wb_camera_get_image(DeviceTag camera) {
    record({"wb_camera_get_image", "", {camera}, {}});
    if (robot_double::g_script.frames.empty() && robot_double::g_grey.empty()) {
        // Made on first use only: a test may announce a camera far larger than it ever shows.
        const auto w = static_cast<std::size_t>(robot_double::g_script.camera_width);
        const auto h = static_cast<std::size_t>(robot_double::g_script.camera_height);
        robot_double::g_grey.assign(w * h * 4 + 1, 128);
    }
    return robot_double::scripted(robot_double::g_script.frames, &robot_double::g_grey)->data();
}

DisplayImageRef wb_display_image_new(DeviceTag display, int width, int height, const void* pixels,
                                     int format) {
    robot_double::Image image;
    image.id = static_cast<int>(robot_double::g_images.size()) + 1;
    image.width = width;
    image.height = height;
    image.format = format;
    const auto* bytes = static_cast<const unsigned char*>(pixels);
    image.pixels.assign(
        bytes, bytes + static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    robot_double::g_images.push_back(std::move(image));
    robot_double::g_handles.push_back({robot_double::g_images.back().id});
    record({"wb_display_image_new", "", {display, width, height, format}, {}});
    return &robot_double::g_handles.back();
}

void wb_display_image_paste(DeviceTag display, DisplayImageRef image, int x, int y, int blend) {
    record({"wb_display_image_paste", "", {display, image->id, x, y, blend}, {}});
}

void wb_display_image_delete(DeviceTag display, DisplayImageRef image) {
    robot_double::g_images[static_cast<std::size_t>(image->id - 1)].deleted = true;
    record({"wb_display_image_delete", "", {display, image->id}, {}});
}

void wb_gps_enable(DeviceTag gps, int period_ms) {
    record({"wb_gps_enable", "", {gps, period_ms}, {}});
}

const double* wb_gps_get_values(DeviceTag gps) {
    record({"wb_gps_get_values", "", {gps}, {}});
    return robot_double::scripted(robot_double::g_script.positions, &robot_double::g_position)
        ->data();
}

void wb_motor_set_position(DeviceTag motor, double position) {
    record({"wb_motor_set_position", "", {motor}, {position}});
}

void wb_motor_set_velocity(DeviceTag motor, double velocity) {
    record({"wb_motor_set_velocity", "", {motor}, {velocity}});
}

void wb_distance_sensor_enable(DeviceTag sensor, int period_ms) {
    record({"wb_distance_sensor_enable", "", {sensor, period_ms}, {}});
}

double wb_distance_sensor_get_value(DeviceTag sensor) {
    record({"wb_distance_sensor_get_value", "", {sensor}, {}});
    return robot_double::reading(sensor);
}

void wb_light_sensor_enable(DeviceTag sensor, int period_ms) {
    record({"wb_light_sensor_enable", "", {sensor, period_ms}, {}});
}

double wb_light_sensor_get_value(DeviceTag sensor) {
    record({"wb_light_sensor_get_value", "", {sensor}, {}});
    return robot_double::reading(sensor);
}

}  // extern "C"
