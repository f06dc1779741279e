// The native build has no GPU: the Direct3D objects are never created there.
#include "gpu/gpu_objects.h"

struct D3DObjects {};

void D3DObjectsRelease::operator()(D3DObjects* objects) const noexcept
{
    delete objects;
}
