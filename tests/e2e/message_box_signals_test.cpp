// Started outside a show folder, the programs tell why in a message box and wait for it to be
// answered. A request to stop must still end them, with the exit code of an answered box.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "show_folder.h"
#include "virtual_screen.h"

namespace {

struct Child {
    pid_t pid = -1;
    int status = 0;
    bool ended = false;
};

// Starts `program` in `folder` on `display`, its stderr into `errFile`.
Child start(const char* program, const std::string& folder, const std::string& display,
            const std::string& errFile) {
    Child run;
    run.pid = fork();
    if (run.pid == 0) {
        const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int null = open("/dev/null", O_WRONLY);
        if (err < 0 || null < 0 || chdir(folder.c_str()) != 0) _exit(127);
        dup2(null, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        setenv("DISPLAY", display.c_str(), 1);
        setenv("SDL_VIDEODRIVER", "x11", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        execl(program, program, static_cast<char*>(nullptr));
        _exit(127);
    }
    return run;
}

bool ended(Child& run) {
    if (!run.ended && waitpid(run.pid, &run.status, WNOHANG) == run.pid) run.ended = true;
    return run.ended;
}

TEST(MessageBoxSignals, AStopRequestEndsAProgramWaitingOnItsBoxWithTheBoxsExitCode) {
    if (!installed("Xvfb")) GTEST_SKIP() << "Xvfb is not installed (setup.sh installs it)";
    TempFolder scratch;
    VirtualScreen screen(scratch);
    if (screen.display().empty()) {
        GTEST_SKIP() << "Xvfb could not start: " << readTextFile(scratch.file("xvfb.err"));
    }
    const struct {
        const char* program;
        int signal;
    } cases[] = {
        {KELVARO_AUTHOR_BIN, SIGTERM}, {KELVARO_AUTHOR_BIN, SIGINT}, {KELVARO_BIN, SIGTERM}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.program) + " " + strsignal(c.signal));
        TempFolder wrongFolder;
        const std::string errFile = scratch.file("err.txt");
        Child run = start(c.program, wrongFolder.path(), screen.display(), errFile);
        const auto err = [&] { return readTextFile(errFile); };
        ASSERT_TRUE(
            waitFor([&] { return err().find("Can't play tavel.mp3!") != std::string::npos; }, 20.0))
            << err();
        // The box is up and waits.
        EXPECT_FALSE(waitFor([&] { return ended(run); }, 0.5))
            << "no box was shown (X fonts missing?): " << err();
        EXPECT_NE(err().find("there is no tavel.mp3 in " + wrongFolder.path()), std::string::npos)
            << err();
        kill(run.pid, c.signal);
        const bool stopped = waitFor([&] { return ended(run); }, 10.0);
        if (!stopped) {
            kill(run.pid, SIGKILL);
            waitpid(run.pid, &run.status, 0);
        }
        ASSERT_TRUE(stopped);
        ASSERT_TRUE(WIFEXITED(run.status)) << run.status;
        EXPECT_EQ(WEXITSTATUS(run.status), 1);
    }
}

}  // namespace
