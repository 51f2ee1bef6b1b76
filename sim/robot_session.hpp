// The one robot run that the C robot operations (robot_api/robot_api.h) act on.
//
// wb_robot_init loads the world named by the environment variable ROBOT_WORLD, or the default
// world compiled into the binary; a world that cannot be loaded ends the process with one line
// on stderr and exit status 2. wb_robot_cleanup prints the run's summary on stderr, writes the
// top view if the world asks for one, and ends the session, so a process (a test) may start
// another.
#pragma once

#include "sim/world.hpp"
#include "sim/world_file.hpp"

namespace sim {

// Makes the next wb_robot_init use this world instead of the environment's or the default.
void preload_world(WorldDesc desc);

// The running session's simulation, or nullptr outside wb_robot_init .. wb_robot_cleanup.
Simulation* current_simulation();

// Loads the world the environment names (or the default). Throws WorldFileError.
WorldDesc world_from_environment();

}  // namespace sim
