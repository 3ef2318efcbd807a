// Reading text files line by line, for the readers of the show's text files.
#pragma once

#include <cstdio>
#include <string>

enum class LineRead {
    line,   // `line` holds the next line
    end,    // the file ended before another line
    error,  // the read failed; `line` holds nothing usable, errno says why
};

// Reads the next line of any length into `line`, without its line feed. A last line without a
// line feed is still a line. With `dropCarriageReturn` a carriage return before the line feed
// (or at the end of the file) goes too.
LineRead readTextLine(std::FILE* file, std::string& line, bool dropCarriageReturn);
