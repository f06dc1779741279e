// The renderer's brute-force reference: every brick, ball and particle evaluated at every step, no per-group lists.
#define ORVALIS_REFERENCE_RENDERER 1
#include "orvalis_shaders.hlsl"
