#include "scene/keyframe_row.h"
