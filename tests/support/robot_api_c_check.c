/* The robot operations' header is a C header: this file only has to compile as C11. */
#include "robot_api/robot_api.h"

int robot_api_c_check_format(void) {
    DeviceTag none = 0;
    DisplayImageRef image = 0;
    (void)none;
    (void)image;
    return DISPLAY_IMAGE_BGRA;
}
