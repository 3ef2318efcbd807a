#include "platform/message_box.h"

#include <SDL2/SDL.h>

#include <cstdio>

void showErrorBox(const char* text) {
    std::fprintf(stderr, "Error: %s\n", text);
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, "Error", text, nullptr);
}

bool askYesNo(const char* title, const char* text) {
    std::fprintf(stderr, "%s: %s\n", title, text);
    const SDL_MessageBoxButtonData buttons[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "No"},
    };
    const SDL_MessageBoxData box = {
        SDL_MESSAGEBOX_WARNING, nullptr, title, text, 2, buttons, nullptr};
    int answer = 0;
    if (SDL_ShowMessageBox(&box, &answer) != 0) answer = 0;
    std::fprintf(stderr, "%s: answered %s\n", title, answer == 1 ? "Yes" : "No");
    return answer == 1;
}
