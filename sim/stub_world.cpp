// A minimal robot that ends the run at its first step. Stands in until the built-in world
// lands.
#include "robot_api/robot_api.h"

namespace {
unsigned char g_pixel[4] = {128, 128, 128, 255};
double g_position[3] = {0.0, 0.0, 0.0};
}  // namespace

extern "C" {
void wb_robot_init(void) {}
int wb_robot_step(int) { return -1; }
void wb_robot_cleanup(void) {}
DeviceTag wb_robot_get_device(const char*) { return 1; }
double wb_robot_get_time(void) { return 0.0; }
void wb_camera_enable(DeviceTag, int) {}
int wb_camera_get_width(DeviceTag) { return 1; }
int wb_camera_get_height(DeviceTag) { return 1; }
const unsigned char* wb_camera_get_image(DeviceTag) { return g_pixel; }
DisplayImageRef wb_display_image_new(DeviceTag, int, int, const void*, int) { return nullptr; }
void wb_display_image_paste(DeviceTag, DisplayImageRef, int, int, int) {}
void wb_display_image_delete(DeviceTag, DisplayImageRef) {}
void wb_gps_enable(DeviceTag, int) {}
const double* wb_gps_get_values(DeviceTag) { return g_position; }
void wb_motor_set_position(DeviceTag, double) {}
void wb_motor_set_velocity(DeviceTag, double) {}
void wb_distance_sensor_enable(DeviceTag, int) {}
double wb_distance_sensor_get_value(DeviceTag) { return 0.0; }
void wb_light_sensor_enable(DeviceTag, int) {}
double wb_light_sensor_get_value(DeviceTag) { return 0.0; }
}
