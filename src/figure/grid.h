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

// The box around a grid's non-zero cells (right and bottom exclusive); an empty grid's box has
// left at the width and right at 0.
struct CellBox {
    int left, top, right, bottom;
};

template <typename T>
CellBox boxOf(const Grid<T>& grid) {
    CellBox b{grid.width, grid.height, 0, 0};
    for (int y = 0; y < grid.height; ++y)
        for (int x = 0; x < grid.width; ++x)
            if (grid.cells[size_t(y) * size_t(grid.width) + size_t(x)] != 0) {
                b.left = x < b.left ? x : b.left;
                b.right = x + 1 > b.right ? x + 1 : b.right;
                b.top = y < b.top ? y : b.top;
                b.bottom = y + 1 > b.bottom ? y + 1 : b.bottom;
            }
    return b;
}

template <typename T>
inline bool insideGrid(const Grid<T>& grid, int x, int y) {
    return x >= 0 && y >= 0 && x < grid.width && y < grid.height;
}
