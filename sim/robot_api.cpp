// The C robot operations over one sim::Simulation. Devices have fixed tags; tag 0 (and any
// other tag the robot does not have) makes every operation a no-op with a neutral result.
#include "robot_api/robot_api.h"

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "sim/robot_session.hpp"

struct DisplayImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};

namespace sim {
namespace {

enum Tag : DeviceTag {
    kNoDevice = 0,
    kCamera = 1,
    kDisplay,
    kGps,
    kLeftMotor,
    kRightMotor,
    kPs0,
    kLs0 = kPs0 + 8,
    kTof = kLs0 + 8,
};

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kNoPosition[3] = {kNaN, kNaN, kNaN};

volatile std::sig_atomic_t g_stop_requested = 0;

// The handlers in place before wb_robot_init, put back by wb_robot_cleanup.
struct sigaction g_previous_sigint;
struct sigaction g_previous_sigterm;

struct Session {
    std::unique_ptr<World> world;
    std::unique_ptr<Simulation> sim;
    std::chrono::steady_clock::time_point started;
    // Released images, kept for reuse so that a controller that makes and deletes one image
    // per step allocates nothing after the first.
    std::vector<std::unique_ptr<DisplayImage>> spare_images;
    bool warned_position = false;
};

std::optional<WorldDesc> g_preloaded;
std::unique_ptr<Session> g_session;

extern "C" void on_stop_signal(int) {
    g_stop_requested = 1;
}

Simulation* sim_for(DeviceTag tag, DeviceTag first, DeviceTag last) {
    if (!g_session || tag < first || tag > last) {
        return nullptr;
    }
    return g_session->sim.get();
}

}  // namespace

void preload_world(WorldDesc desc) {
    g_preloaded = std::move(desc);
}

Simulation* current_simulation() {
    return g_session ? g_session->sim.get() : nullptr;
}

WorldDesc world_from_environment() {
    const char* path = std::getenv("ROBOT_WORLD");
    if (path != nullptr && *path != '\0') {
        return load_world_file(path);
    }
    return parse_world(default_world_text(), "<default world>", ".");
}

}  // namespace sim

using namespace sim;

extern "C" {

void wb_robot_init(void) {
    auto session = std::make_unique<Session>();
    try {
        WorldDesc desc;
        if (g_preloaded) {
            desc = std::move(*g_preloaded);
            g_preloaded.reset();
        } else {
            desc = world_from_environment();
        }
        session->world = std::make_unique<World>(std::move(desc));
        session->sim = std::make_unique<Simulation>(*session->world);
    } catch (const WorldFileError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        std::exit(2);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "world: not enough memory to build the world\n");
        std::exit(2);
    }
    g_stop_requested = 0;
    // SA_RESTART: a write blocked on a full stdout pipe when the signal comes resumes after
    // the handler instead of failing with EINTR, which would make stdio drop buffered output.
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = on_stop_signal;
    sa.sa_flags = SA_RESTART;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, &g_previous_sigint);
    sigaction(SIGTERM, &sa, &g_previous_sigterm);
    session->started = std::chrono::steady_clock::now();
    g_session = std::move(session);
}

int wb_robot_step(int duration_ms) {
    if (!g_session || g_stop_requested || duration_ms < 0 || !g_session->sim->step(duration_ms)) {
        return -1;
    }
    return 0;
}

void wb_robot_cleanup(void) {
    if (!g_session) {
        return;
    }
    const double wall_s =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - g_session->started)
            .count();
    std::fputs(g_session->sim->summary(wall_s).c_str(), stderr);
    std::string error;
    if (!g_session->sim->write_top_view(error)) {
        std::fprintf(stderr, "world: could not write the top view %s (%s)\n",
                     g_session->world->desc().top_view_png.c_str(), error.c_str());
    } else if (!g_session->world->desc().top_view_png.empty()) {
        std::fprintf(stderr, "top view: %s\n", g_session->world->desc().top_view_png.c_str());
    }
    g_session.reset();
    sigaction(SIGINT, &g_previous_sigint, nullptr);
    sigaction(SIGTERM, &g_previous_sigterm, nullptr);
}

DeviceTag wb_robot_get_device(const char* name) {
    static const char* const kFixed[] = {"camera", "display", "gps", "left wheel motor",
                                         "right wheel motor"};
    const std::string n = name != nullptr ? name : "";
    for (int i = 0; i < 5; ++i) {
        if (n == kFixed[i]) {
            return static_cast<DeviceTag>(kCamera + i);
        }
    }
    if (n.size() == 3 && n[2] >= '0' && n[2] <= '7') {
        if (n[0] == 'p' && n[1] == 's') {
            return static_cast<DeviceTag>(kPs0 + (n[2] - '0'));
        }
        if (n[0] == 'l' && n[1] == 's') {
            return static_cast<DeviceTag>(kLs0 + (n[2] - '0'));
        }
    }
    if (n == "tof") {
        return kTof;
    }
    std::fprintf(stderr, "world: warning: the robot has no device named \"%s\"; its tag is 0\n",
                 n.c_str());
    return kNoDevice;
}

double wb_robot_get_time(void) {
    return g_session ? g_session->sim->time_ms() / 1000.0 : 0.0;
}

void wb_camera_enable(DeviceTag camera, int period_ms) {
    if (Simulation* s = sim_for(camera, kCamera, kCamera)) {
        s->enable(Sensor::camera, period_ms);
    }
}

int wb_camera_get_width(DeviceTag camera) {
    Simulation* s = sim_for(camera, kCamera, kCamera);
    return s ? s->world().camera().width() : 0;
}

int wb_camera_get_height(DeviceTag camera) {
    Simulation* s = sim_for(camera, kCamera, kCamera);
    return s ? s->world().camera().height() : 0;
}

const unsigned char* wb_camera_get_image(DeviceTag camera) {
    Simulation* s = sim_for(camera, kCamera, kCamera);
    return s ? reinterpret_cast<const unsigned char*>(s->camera_frame()) : nullptr;
}

DisplayImageRef wb_display_image_new(DeviceTag display, int width, int height, const void* pixels,
                                     int format) {
    if (!sim_for(display, kDisplay, kDisplay) || format != DISPLAY_IMAGE_BGRA || width <= 0 ||
        height <= 0 || pixels == nullptr) {
        return nullptr;
    }
    std::unique_ptr<DisplayImage> img;
    if (!g_session->spare_images.empty()) {
        img = std::move(g_session->spare_images.back());
        g_session->spare_images.pop_back();
    } else {
        img = std::make_unique<DisplayImage>();
    }
    img->width = width;
    img->height = height;
    const std::size_t n = static_cast<std::size_t>(width) * height;
    img->pixels.resize(n);
    std::memcpy(img->pixels.data(), pixels, n * 4);
    return img.release();
}

void wb_display_image_paste(DeviceTag display, DisplayImageRef image, int x, int y, int) {
    if (Simulation* s = sim_for(display, kDisplay, kDisplay); s && image != nullptr) {
        s->paste(image->pixels.data(), image->width, image->height, x, y);
    }
}

void wb_display_image_delete(DeviceTag, DisplayImageRef image) {
    if (image == nullptr) {
        return;
    }
    std::unique_ptr<DisplayImage> owned(image);
    if (g_session && g_session->spare_images.size() < 4) {
        g_session->spare_images.push_back(std::move(owned));
    }
}

void wb_gps_enable(DeviceTag gps, int period_ms) {
    if (Simulation* s = sim_for(gps, kGps, kGps)) {
        s->enable(Sensor::gps, period_ms);
    }
}

const double* wb_gps_get_values(DeviceTag gps) {
    Simulation* s = sim_for(gps, kGps, kGps);
    return s ? s->gps_values() : kNoPosition;
}

void wb_motor_set_position(DeviceTag motor, double position) {
    if (sim_for(motor, kLeftMotor, kRightMotor) && !std::isinf(position) &&
        !g_session->warned_position) {
        g_session->warned_position = true;
        std::fprintf(stderr,
                     "world: warning: motors here have speed control only; target position "
                     "%g ignored\n",
                     position);
    }
}

void wb_motor_set_velocity(DeviceTag motor, double velocity) {
    if (Simulation* s = sim_for(motor, kLeftMotor, kRightMotor)) {
        s->set_wheel_speed(motor == kLeftMotor ? 0 : 1, velocity);
    }
}

void wb_distance_sensor_enable(DeviceTag sensor, int period_ms) {
    if (Simulation* s = sim_for(sensor, kPs0, kPs0 + 7)) {
        s->enable(static_cast<Sensor>(static_cast<int>(Sensor::ps0) + (sensor - kPs0)), period_ms);
    } else if (Simulation* t = sim_for(sensor, kTof, kTof)) {
        t->enable(Sensor::tof, period_ms);
    }
}

double wb_distance_sensor_get_value(DeviceTag sensor) {
    if (Simulation* s = sim_for(sensor, kPs0, kPs0 + 7)) {
        return s->proximity(sensor - kPs0);
    }
    if (Simulation* t = sim_for(sensor, kTof, kTof)) {
        return t->tof_mm();
    }
    return kNaN;
}

void wb_light_sensor_enable(DeviceTag sensor, int period_ms) {
    if (Simulation* s = sim_for(sensor, kLs0, kLs0 + 7)) {
        s->enable(static_cast<Sensor>(static_cast<int>(Sensor::ls0) + (sensor - kLs0)), period_ms);
    }
}

double wb_light_sensor_get_value(DeviceTag sensor) {
    Simulation* s = sim_for(sensor, kLs0, kLs0 + 7);
    return s ? s->light(sensor - kLs0) : kNaN;
}

}  // extern "C"
