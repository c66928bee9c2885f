// Where a dialog stands when it first shows: centred over its owner's window,
// or over the work area when it has none, and moved back inside the work area
// where centring would push it over an edge (an owner near a screen corner).
#pragma once

#include "platform/ui.h"

namespace qvx {

// window: the dialog's current rectangle (only its size counts); over: the
// owner's rectangle, or the work area; work: the work area. Returns the
// dialog's new rectangle, all in screen coordinates.
Rect CentredPlacement(const Rect& window, const Rect& over, const Rect& work);

}  // namespace qvx
