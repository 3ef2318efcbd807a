// Music playback: one track, started once at start-up and freed at the end.
#pragma once

// Each of these ends the process with exit code 1, after an error box, when it fails.
bool musicInit();
bool musicLoad(const char* file);
bool musicPlay(bool loop);
bool musicFree();
