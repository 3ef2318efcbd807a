// Binding a loaded scene's bones to its mesh: which vertices each bone moves, and with what
// mask values. Both follow from the rest shape alone, so they are worked out once at load.
#pragma once

#include "scene/records.h"

// Fills every bone's member list and cached mask values from its mask; bones without a mask
// get none.
void bindBones(Scene& scene);
