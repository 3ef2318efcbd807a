// Keyframe rows as the authoring tool prints them, for the tests of scripts and takes.
#pragma once

#include <cstdio>
#include <initializer_list>
#include <string>

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
