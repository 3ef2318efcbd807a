// Music playback over SDL2_mixer: one track, started once at start-up and freed at the end.
#pragma once

struct _Mix_Music;

struct MusicState {
    bool decoderReady = false;
    bool audioOpen = false;
    _Mix_Music* stream = nullptr;
};

// Each returns false after an error box when it fails, with the audio already released: the
// show can't run without its music, and that is never reported as success.
bool musicInit(MusicState& state);
bool musicLoad(MusicState& state, const char* file);
bool musicPlay(MusicState& state, bool loop);
bool musicFree(MusicState& state);

bool musicSeek(MusicState& state, double seconds);
void musicPause(MusicState& state);
void musicResume(MusicState& state);
double musicPosition(MusicState& state);
