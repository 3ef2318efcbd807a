// The end of a frame's drawing, before the platform presents it.
#pragma once

// Hands every queued drawing command to GL and waits until they are done.
void finishFrame();
