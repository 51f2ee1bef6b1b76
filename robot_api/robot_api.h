/* The robot operations the controller calls: attaching to the robot, stepping it, and its
 * devices (camera, display, position sensor, wheel motors, distance and light sensors).
 *
 * The controller reaches the robot only through these functions. Two implementations exist:
 * the built-in world (sim/) that the `line_follower` executable links, and the scripted test
 * double that the tests link. Neither is visible from here.
 *
 * Units: milliseconds for periods and steps, seconds for robot time, radians per second for
 * motor speeds, metres for positions. */
#ifndef ROBOT_API_ROBOT_API_H
#define ROBOT_API_ROBOT_API_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Handle of a named device, as wb_robot_get_device gives it. 0 names no device: operations on
 * tag 0 do nothing and return neutral values. */
typedef uint16_t DeviceTag;

/* An image made for a display by wb_display_image_new; opaque to the caller. */
typedef struct DisplayImage* DisplayImageRef;

/* Pixel format for wb_display_image_new: 4 bytes per pixel, blue, green, red, alpha. */
enum { DISPLAY_IMAGE_BGRA = 6 };

/* --- the robot ---------------------------------------------------------------------------- */

/* Attaches to the robot. Called once, before any other operation. */
void wb_robot_init(void);

/* Advances the robot by `duration_ms` milliseconds and refreshes the enabled sensors.
 * Returns -1 when the run is over; any other value means go on. */
int wb_robot_step(int duration_ms);

/* Detaches from the robot; the run's last call. */
void wb_robot_cleanup(void);

/* The tag of the device with this name, or 0 when the robot has no such device. */
DeviceTag wb_robot_get_device(const char* name);

/* Robot time [s] since the run started. */
double wb_robot_get_time(void);

/* --- camera ------------------------------------------------------------------------------- */

/* Starts taking a frame every `period_ms` milliseconds. */
void wb_camera_enable(DeviceTag camera, int period_ms);

/* Frame size in pixels. */
int wb_camera_get_width(DeviceTag camera);
int wb_camera_get_height(DeviceTag camera);

/* The current frame: width x height pixels, row after row, 4 bytes per pixel in the order
 * blue, green, red, alpha. Owned by the robot; valid until the next wb_robot_step. */
const unsigned char* wb_camera_get_image(DeviceTag camera);

/* --- display ------------------------------------------------------------------------------ */

/* Makes an image of width x height pixels from `pixels` in the given format (only
 * DISPLAY_IMAGE_BGRA). The pixels are copied, so the buffer may be rewritten at once. */
DisplayImageRef wb_display_image_new(DeviceTag display, int width, int height, const void* pixels,
                                     int format);

/* Draws the image with its top-left corner at (x, y); `blend` 0 copies the pixels as they
 * are, alpha included. */
void wb_display_image_paste(DeviceTag display, DisplayImageRef image, int x, int y, int blend);

/* Releases an image made by wb_display_image_new; what was pasted stays on the display. */
void wb_display_image_delete(DeviceTag display, DisplayImageRef image);

/* --- position sensor ---------------------------------------------------------------------- */

/* Starts taking a reading every `period_ms` milliseconds. */
void wb_gps_enable(DeviceTag gps, int period_ms);

/* The current position [m] as three values x, y, z, with y the height above the floor.
 * Owned by the robot; valid until the next wb_robot_step. */
const double* wb_gps_get_values(DeviceTag gps);

/* --- motors ------------------------------------------------------------------------------- */

/* Target position [rad]; +infinity selects pure speed control. */
void wb_motor_set_position(DeviceTag motor, double position);

/* Wheel speed [rad/s], acting from the next step on. */
void wb_motor_set_velocity(DeviceTag motor, double velocity);

/* --- distance and light sensors ----------------------------------------------------------- */

void wb_distance_sensor_enable(DeviceTag sensor, int period_ms);
double wb_distance_sensor_get_value(DeviceTag sensor);

void wb_light_sensor_enable(DeviceTag sensor, int period_ms);
double wb_light_sensor_get_value(DeviceTag sensor);

#ifdef __cplusplus
}
#endif

#endif /* ROBOT_API_ROBOT_API_H */
