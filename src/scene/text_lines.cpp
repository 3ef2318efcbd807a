#include "scene/text_lines.h"

#include <cerrno>

LineRead readTextLine(std::FILE* file, std::string& line, bool dropCarriageReturn) {
    line.clear();
    // errno is only meaningful after a failure, and the caller reads it then.
    errno = 0;
    int c;
    bool any = false;
    while ((c = std::getc(file)) != EOF) {
        any = true;
        if (c == '\n') break;
        line.push_back(char(c));
    }
    if (c == EOF && std::ferror(file)) {
        // A directory opens for reading on Linux and fails only here, with EISDIR.
        if (errno == 0) errno = EIO;
        return LineRead::error;
    }
    if (!any) return LineRead::end;
    if (dropCarriageReturn && !line.empty() && line.back() == '\r') line.pop_back();
    return LineRead::line;
}
