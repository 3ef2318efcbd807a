#include "virtual_screen.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <cstdlib>

int shell(const std::string& line) {
    return std::system(line.c_str());
}

bool installed(const char* program) {
    return shell(std::string("command -v ") + program + " >/dev/null 2>&1") == 0;
}

bool Background::running() const {
    return pid > 0 && ::kill(pid_t(pid), 0) == 0;
}

void Background::stop() {
    if (running()) ::kill(pid_t(pid), SIGTERM);
}

Background startInBackground(const std::string& commandLine, const std::string& pidFile) {
    shell(commandLine + " & echo $! >'" + pidFile + "'");
    Background process;
    process.pid = std::atol(readTextFile(pidFile).c_str());
    return process;
}

VirtualScreen::VirtualScreen(const TempFolder& scratch) {
    const std::string number = scratch.file("display");
    xvfb_ = startInBackground("Xvfb -displayfd 3 -screen 0 1280x720x24 -nolisten tcp 3>'" + number +
                                  "' 2>'" + scratch.file("xvfb.err") + "'",
                              scratch.file("xvfb.pid"));
    if (waitFor([&] { return readTextFile(number).find('\n') != std::string::npos; }, 10.0)) {
        const std::string text = readTextFile(number);
        display_ = ":" + text.substr(0, text.find('\n'));
    }
}

VirtualScreen::~VirtualScreen() {
    xvfb_.stop();
}

void VirtualScreen::xdotool(const std::string& arguments) const {
    ASSERT_EQ(shell("DISPLAY=" + display_ + " xdotool " + arguments), 0) << arguments;
}
