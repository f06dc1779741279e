// The native build has no windows: the panel's GDI objects never exist there.
#include "ui/panel_handles.h"

struct PanelGdiObjects {};

void PanelGdiRelease::operator()(PanelGdiObjects* objects) const noexcept
{
    delete objects;
}
