// A console that a test hands to the driver in place of stdout, and reads back.
#pragma once

#include <cstdio>
#include <string>

class CapturedConsole {
public:
    CapturedConsole();
    ~CapturedConsole();
    CapturedConsole(const CapturedConsole&) = delete;
    CapturedConsole& operator=(const CapturedConsole&) = delete;

    std::FILE* file() const { return file_; }
    // Everything printed since the last call.
    std::string take();

private:
    std::FILE* file_;
    long taken_ = 0;
};
