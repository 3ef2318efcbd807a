#include "console.h"

CapturedConsole::CapturedConsole() : file_(std::tmpfile()) {}

CapturedConsole::~CapturedConsole() {
    if (file_ != nullptr) std::fclose(file_);
}

std::string CapturedConsole::take() {
    std::string text;
    if (file_ == nullptr) return text;
    std::fflush(file_);
    const long end = std::ftell(file_);
    std::fseek(file_, taken_, SEEK_SET);
    for (long i = taken_; i < end; ++i) {
        const int c = std::fgetc(file_);
        if (c == EOF) break;
        text.push_back(char(c));
    }
    std::fseek(file_, end, SEEK_SET);
    taken_ = end;
    return text;
}
