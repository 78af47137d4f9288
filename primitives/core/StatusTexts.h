#pragma once

#include "primitives.h"

namespace primitives::generic {

// The one body of duvAduZurideVizide, in every build's slot.
const char* duvAduZurideVizide(PrimitiveStatus status);

}  // namespace primitives::generic
