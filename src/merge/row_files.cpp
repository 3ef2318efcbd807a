#include "merge/row_files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "scene/text_lines.h"

bool readRowFile(const std::string& path, RowFile& file, std::string& error) {
    file = RowFile{};
    const bool standardInput = path == "-";
    std::FILE* stream = standardInput ? stdin : std::fopen(path.c_str(), "r");
    if (stream == nullptr) {
        error = "can't open " + path + ": " + std::strerror(errno);
        return false;
    }
    std::string line;
    LineRead read;
    while ((read = readTextLine(stream, line, true)) == LineRead::line) {
        RowLine row;
        if (parseKeyframeRow(line, row.row)) {
            row.text = line;
            file.rows.push_back(std::move(row));
        } else if (line.compare(0, 4, "fov=") == 0) {
            ++file.cameraLines;
        } else {
            ++file.otherLines;
        }
    }
    const int readErrno = errno;
    if (!standardInput) std::fclose(stream);
    if (read == LineRead::error) {
        error = "can't read " + path + ": " + std::strerror(readErrno);
        file = RowFile{};
        return false;
    }
    return true;
}
