// The 3 x 3 polar decomposition that gives each bone its rotation, and the inverse that
// refuses a reflection.
#pragma once

// Row-major, element [row][column]; only the upper-left 3 x 3 block carries values.
struct Matrix4 {
    double m[4][4];
};

constexpr double POLAR_TOLERANCE = 1e-6;

// A converging iteration needs a handful of passes; the cap only keeps non-finite input from
// spinning forever.
constexpr int POLAR_MAX_PASSES = 100;

// The orthogonal factor Q of M = Q S, padded: fourth row and column 0 but [3][3] = 1.
// Returns the number of passes the iteration ran (the singular path ends its pass early).
int polarDecompose(const Matrix4& m, Matrix4& q);

// Writes the inverse of Q's 3 x 3 block into r and returns 1, unless the determinant is
// negative (Q is a reflection): then returns 0 and r holds nothing usable.
int invertUnlessReflection(const Matrix4& q, Matrix4& r);
