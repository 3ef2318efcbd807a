#include "driver/keyframes.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

namespace {

bool isBlank(const std::string& line) {
    for (unsigned char c : line) {
        if (!std::isspace(c)) return false;
    }
    return true;
}

// Reads one line of any length; false at the end of the file. A last line without a line feed
// is still a line.
bool readLine(std::FILE* file, std::string& line) {
    line.clear();
    int c;
    while ((c = std::fgetc(file)) != EOF) {
        if (c == '\n') return true;
        line.push_back(char(c));
    }
    return !line.empty();
}

}  // namespace

int32_t readKeyframes(const char* path, std::vector<Keyframe>& table) {
    table.clear();
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path, "r"), &std::fclose);
    if (!file) {
        std::fprintf(stderr, "warning: can't read %s; the show starts with no keyframes\n", path);
        return 0;
    }
    std::string line;
    long lineNumber = 0;
    while (readLine(file.get(), line)) {
        ++lineNumber;
        if (isBlank(line)) continue;
        Keyframe row{};
        const int fields = std::sscanf(line.c_str(), "%f %d %d %f %f %f", &row.time, &row.scene,
                                       &row.vertex, &row.x, &row.y, &row.z);
        // A row that is not six finite numbers would put a handle at a made-up place.
        if (fields != 6 || !std::isfinite(row.time) || !std::isfinite(row.x) ||
            !std::isfinite(row.y) || !std::isfinite(row.z)) {
            std::fprintf(stderr, "warning: %s line %ld is not a keyframe row; skipped\n", path,
                         lineNumber);
            continue;
        }
        if (int32_t(table.size()) == MAX_KEYFRAMES) {
            std::fprintf(stderr, "warning: %s has more than %d rows; the rest is ignored\n", path,
                         MAX_KEYFRAMES);
            break;
        }
        table.push_back(row);
    }
    return int32_t(table.size());
}

void applyKeyframesStepA(DriverState& /*state*/) {}

void applyKeyframesStepB(DriverState& /*state*/) {}
