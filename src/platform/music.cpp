#include "platform/music.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_mixer.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/message_box.h"

namespace {

void releaseAudio(MusicState& state) {
    if (state.stream != nullptr) {
        Mix_HaltMusic();
        Mix_FreeMusic(state.stream);
        state.stream = nullptr;
    }
    if (state.audioOpen) {
        Mix_CloseAudio();
        state.audioOpen = false;
    }
    if (state.decoderReady) {
        Mix_Quit();
        state.decoderReady = false;
    }
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool audioFatal(MusicState& state, const char* text, const char* note = nullptr) {
    showErrorBox(text, note);
    releaseAudio(state);
    return false;
}

// Most often the program was started outside its show folder: say where it looked.
void tellWhereTheShowIs(const char* file) {
    char folder[4096];
    const char* cwd = getcwd(folder, sizeof folder) != nullptr ? folder : "the current folder";
    if (access(file, F_OK) != 0) {
        std::fprintf(stderr,
                     "music: there is no %s in %s; run the program in a show folder, which holds "
                     "%s, anim.txt and a folder for each slot\n",
                     file, cwd, file);
    } else {
        std::fprintf(stderr, "music: %s in %s is not an MP3 that can be played\n", file, cwd);
    }
}

}  // namespace

bool musicInit(MusicState& state) {
    if ((Mix_Init(MIX_INIT_MP3) & MIX_INIT_MP3) == 0) {
        std::fprintf(stderr, "music: %s\n", Mix_GetError());
        showErrorBox("Can't load the MP3 decoder!");
        return false;
    }
    state.decoderReady = true;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0 ||
        Mix_OpenAudio(44100, MIX_DEFAULT_FORMAT, 2, 2048) != 0) {
        std::fprintf(stderr, "music: %s\n", SDL_GetError());
        // Machines without sound (a server, a container) can still run the program.
        return audioFatal(state, "Can't initialize sound device!",
                          "music: the sound device could not be opened; with "
                          "SDL_AUDIODRIVER=dummy the program runs without sound");
    }
    state.audioOpen = true;
    return true;
}

bool musicLoad(MusicState& state, const char* file) {
    state.stream = Mix_LoadMUS(file);
    if (state.stream == nullptr) {
        std::fprintf(stderr, "music: %s\n", Mix_GetError());
        tellWhereTheShowIs(file);
        const std::string text = std::string("Can't play ") + file + "!";
        return audioFatal(state, text.c_str());
    }
    return true;
}

bool musicPlay(MusicState& state, bool loop) {
    if (state.stream != nullptr) Mix_PlayMusic(state.stream, loop ? -1 : 0);
    return true;
}

bool musicFree(MusicState& state) {
    releaseAudio(state);
    return true;
}

bool musicSeek(MusicState& state, double seconds) {
    if (state.stream == nullptr) return false;
    if (Mix_PlayingMusic() == 0) Mix_PlayMusic(state.stream, 0);
    if (Mix_SetMusicPosition(seconds) != 0) {
        std::fprintf(stderr, "music: can't move to %.2f s: %s\n", seconds, Mix_GetError());
        return false;
    }
    return true;
}

void musicPause(MusicState& state) {
    if (state.stream != nullptr) Mix_PauseMusic();
}

void musicResume(MusicState& state) {
    if (state.stream != nullptr) Mix_ResumeMusic();
}

double musicPosition(MusicState& state) {
    if (state.stream == nullptr) return -1.0;
    return Mix_GetMusicPosition(state.stream);
}
