#include "platform/message_box.h"

#include <SDL2/SDL.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

namespace {

// Every box in the program ends the run with exit code 1 once it is answered (OK to an error,
// No to the question): a request to stop while it is up ends the run the same way.
void endWhileBoxIsUp(int) {
    _exit(1);
}

// While a box is up its own event loop runs, and SDL only turns SIGINT and SIGTERM into a quit
// event that nobody reads until the box is answered: the signals end the process instead, and
// are handed back afterwards.
class StopSignalsEndTheRun {
public:
    StopSignalsEndTheRun() {
        struct sigaction action {};
        action.sa_handler = &endWhileBoxIsUp;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &interrupt_);
        sigaction(SIGTERM, &action, &terminate_);
    }
    ~StopSignalsEndTheRun() {
        sigaction(SIGINT, &interrupt_, nullptr);
        sigaction(SIGTERM, &terminate_, nullptr);
    }
    StopSignalsEndTheRun(const StopSignalsEndTheRun&) = delete;
    StopSignalsEndTheRun& operator=(const StopSignalsEndTheRun&) = delete;

private:
    struct sigaction interrupt_ {};
    struct sigaction terminate_ {};
};

}  // namespace

void showErrorBox(const char* text, const char* note) {
    std::fprintf(stderr, "Error: %s\n", text);
    if (note != nullptr) std::fprintf(stderr, "%s\n", note);
    std::fflush(stdout);
    StopSignalsEndTheRun signals;
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
    std::fflush(stdout);
    {
        StopSignalsEndTheRun signals;
        if (SDL_ShowMessageBox(&box, &answer) != 0) answer = 0;
    }
    std::fprintf(stderr, "%s: answered %s\n", title, answer == 1 ? "Yes" : "No");
    return answer == 1;
}
