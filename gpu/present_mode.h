#pragma once
#include <cstdint>

// How frames are presented, as chosen in the startup window.
enum class PresentMode : uint32_t {
    VsyncOff = 0,      // sync interval 0, tearing where the system allows it
    VsyncOn = 1,       // sync interval 1
    TripleBuffer = 2,  // sync interval 0, never tearing (still two buffers)
};
