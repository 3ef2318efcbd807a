// A value per pixel of a picture frame, top row first.
#pragma once

#include <cstddef>
#include <vector>

template <typename T>
struct Grid {
    int width = 0;
    int height = 0;
    std::vector<T> cells;
};

template <typename T>
Grid<T> makeGrid(int width, int height, T fill) {
    return Grid<T>{width, height, std::vector<T>(size_t(width) * size_t(height), fill)};
}

template <typename T>
inline T& cell(Grid<T>& grid, int x, int y) {
    return grid.cells[size_t(y) * size_t(grid.width) + size_t(x)];
}

template <typename T>
inline const T& cell(const Grid<T>& grid, int x, int y) {
    return grid.cells[size_t(y) * size_t(grid.width) + size_t(x)];
}

template <typename T>
inline bool insideGrid(const Grid<T>& grid, int x, int y) {
    return x >= 0 && y >= 0 && x < grid.width && y < grid.height;
}
