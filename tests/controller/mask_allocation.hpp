// Watches the controller's allocation of its line mask. The test executable is linked with
// --wrap=malloc and --wrap=free, so calls from the statically linked code land here first.
#pragma once

#include <cstddef>

namespace mask_allocation {

// From now on, an allocation of exactly `bytes` fails (null, errno ENOMEM); 0 turns it off.
void fail_size(std::size_t bytes);

// From now on, the block of an allocation of exactly `bytes` is watched: releasing it adds
// the call free(<bytes>) to the robot double's record. 0 turns it off.
void watch_size(std::size_t bytes);

}  // namespace mask_allocation
