// The brute-force reference of the program's renderer, kept with the tests:
// the same scene and shading, but every brick, ball and particle is evaluated
// at every step, with no per-group lists. The GPU tests compare the program's
// image with this one and the frame-rate measurement reports the speed-up.
#define ORVALIS_REFERENCE_RENDERER 1
#include "orvalis_shaders.hlsl"
