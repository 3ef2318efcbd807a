// What the frame loop and start-up need of the machine: the window and its events, presenting
// a frame, the clock and the music. The show runs on SDL; tests and capture bring their own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/input_table.h"

// What the coming frame is for. The show and the authoring tool draw and present every frame.
// A capture works out the frames before its span without drawing them, so that the span's
// frames equal those of a whole run, and draws at sizes other than the show's window while
// the motion must not depend on the size.
struct FramePlan {
    bool draw = true;                // false: worked out (camera, matrices, solve), not drawn
    bool solveOnShowWindow = false;  // the solve's window test sees the show's own viewport
};

class Platform {
public:
    virtual ~Platform() = default;

    // Opens the window (full screen, or windowed after a Yes to the fallback question) with a
    // current double-buffered GL context, and shows a first black frame. False on failure,
    // after telling the user why.
    virtual bool createGlWindow(const char* title, int32_t width, int32_t height, int32_t bits,
                                bool fullscreen) = 0;
    // Leaves full screen, deletes the context, destroys the window and stops video; every step
    // is attempted whatever happened before.
    virtual void killGlWindow() = 0;
    // Handles every waiting event; false as soon as the quit message is handled.
    virtual bool pumpMessages() = 0;
    // Escape's close request: posts the quit message, then handles one more event.
    virtual void closeWindowAndDrain() = 0;
    // Keys and mouse as the events have left them.
    virtual const InputTable& input() const = 0;
    // Shows the frame just drawn.
    virtual void swapBuffers() = 0;
    // Asked once at the start of every frame.
    virtual FramePlan planFrame() { return FramePlan{}; }

    virtual int64_t readPerformanceCounter() = 0;
    virtual double readPerformanceFrequency() = 0;
    virtual void sleepMilliseconds(int milliseconds) = 0;

    // Tells why the run can't go on: on stderr, and in a box titled "Error" where one can be
    // shown, until it is answered. A platform without a user to answer returns at once.
    virtual void showErrorBox(const char* text) = 0;

    // Each returns false, after an error box, when the show can't go on without its music.
    virtual bool musicInit() = 0;
    virtual bool musicLoad(const char* file) = 0;
    virtual bool musicPlay(bool loop) = 0;
    virtual bool musicFree() = 0;

    // The authoring tool's transport keeps the music where the show clock is. Seeking a track
    // that has played to its end starts it again at the new place.
    virtual bool musicSeek(double seconds) = 0;
    virtual void musicPause() = 0;
    virtual void musicResume() = 0;
    // Seconds into the track, or a negative number where that can't be told.
    virtual double musicPosition() = 0;

    // The samples of the music file `file`, interleaved 16-bit at 44.1 kHz in `channels`
    // channels, for finding its beat. Safe to call from a thread of its own once the music is
    // open. False where the platform can't decode (the default: nothing said in `error`) or
    // the file can't be decoded (`error` says why).
    virtual bool musicSamples(const char* file, std::vector<int16_t>& samples, int& channels,
                              std::string& error) {
        (void)file, (void)samples, (void)channels, (void)error;
        return false;
    }
};
