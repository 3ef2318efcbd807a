// Keyframe rows as the authoring tool prints them, for the tests of scripts and takes.
#pragma once

#include <cstdio>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

// A row whose x is `x`, which tells where it came from in the results.
inline std::string row(double time, int slot, int vertex, int x) {
    char text[96];
    std::snprintf(text, sizeof text, "%f %d %d %d.000000 0.000000 0.000000\n", time, slot, vertex,
                  x);
    return text;
}

// Rows of one vertex every `step` seconds from `first` to `last`.
inline std::string drag(double first, double last, double step, int slot, int vertex, int x) {
    std::string text;
    for (double t = first; t <= last + 1e-9; t += step) text += row(t, slot, vertex, x);
    return text;
}

// Script rows at the given times, on vertex 0 of slot 1, tagged 0.
inline std::string script(std::initializer_list<double> times) {
    std::string text;
    for (double t : times) text += row(t, 1, 0, 0);
    return text;
}

// A printed row read back: "%f %d %d %f %f %f" and nothing more.
struct PrintedRow {
    float time;
    int slot;
    int vertex;
    float x, y, z;
};

inline bool parsePrintedRow(const std::string& line, PrintedRow& row) {
    char extra;
    return std::sscanf(line.c_str(), "%f %d %d %f %f %f %c", &row.time, &row.slot, &row.vertex,
                       &row.x, &row.y, &row.z, &extra) == 6;
}

inline std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}
