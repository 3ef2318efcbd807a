#include "platform/music.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_mixer.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/message_box.h"

namespace {

bool decoderReady = false;
bool audioOpen = false;
Mix_Music* musicStream = nullptr;

void releaseAudio() {
    if (musicStream != nullptr) {
        Mix_HaltMusic();
        Mix_FreeMusic(musicStream);
        musicStream = nullptr;
    }
    if (audioOpen) {
        Mix_CloseAudio();
        audioOpen = false;
    }
    if (decoderReady) {
        Mix_Quit();
        decoderReady = false;
    }
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

// A failure here is final: the show can't run without its music, and it is never reported as
// success.
[[noreturn]] void audioFatal(const char* text) {
    showErrorBox(text);
    releaseAudio();
    std::fflush(stdout);
    std::exit(1);
}

}  // namespace

bool musicInit() {
    if ((Mix_Init(MIX_INIT_MP3) & MIX_INIT_MP3) == 0) {
        std::fprintf(stderr, "music: %s\n", Mix_GetError());
        showErrorBox("Can't load the MP3 decoder!");
        std::fflush(stdout);
        std::exit(1);
    }
    decoderReady = true;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0 ||
        Mix_OpenAudio(44100, MIX_DEFAULT_FORMAT, 2, 2048) != 0) {
        std::fprintf(stderr, "music: %s\n", SDL_GetError());
        audioFatal("Can't initialize sound device!");
    }
    audioOpen = true;
    return true;
}

bool musicLoad(const char* file) {
    musicStream = Mix_LoadMUS(file);
    if (musicStream == nullptr) {
        std::fprintf(stderr, "music: %s\n", Mix_GetError());
        const std::string text = std::string("Can't play ") + file + "!";
        audioFatal(text.c_str());
    }
    return true;
}

bool musicPlay(bool loop) {
    if (musicStream != nullptr) Mix_PlayMusic(musicStream, loop ? -1 : 0);
    return true;
}

bool musicFree() {
    releaseAudio();
    return true;
}
