// The authoring studio's mode: who moves the figure, the mouse or the script. Pause and the loop
// are the transport's and hold in every mode, as does Space's playback.
#pragma once

enum class StudioMode {
    Show,       // not the authoring set-up: the show runs no studio at all
    Starting,   // the authoring set-up before its first frame has told the keys
    Recording,  // the mouse drags and prints rows; without Space the slots follow the sections
    Preview,    // F12: the script plays from the current time as the show plays it, with the takes
    PunchIn,    // a press in the preview: the script stands aside and the mouse records
};

// The mode's word on the heads-up line.
constexpr const char* studioModeName(StudioMode mode) {
    switch (mode) {
        case StudioMode::Show:
            return "show";
        case StudioMode::Starting:
            return "starting";
        case StudioMode::Recording:
            return "recording";
        case StudioMode::Preview:
            return "preview";
        case StudioMode::PunchIn:
            return "punch-in";
    }
    return "";
}

// F12's preview is on, whether the script plays or stands aside for a punch-in: the slot is the
// script's, and the closing picture never closes the tool.
constexpr bool previewing(StudioMode mode) {
    return mode == StudioMode::Preview || mode == StudioMode::PunchIn;
}
