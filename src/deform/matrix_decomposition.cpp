#include "deform/matrix_decomposition.h"

#include <cmath>

// Shoemake's scaled Newton iteration for the orthogonal polar factor, with his Householder
// fallback for singular working matrices. The rotation of every bone comes out of here, and
// the goals built from it are compared bit for bit, so each expression keeps its operand order.

namespace {

struct Mat3 {
    double a[3][3];
};

struct Vec3 {
    double v[3];
};

// Largest absolute column sum; a NaN sum never wins, so the result is never NaN.
double oneNorm(const Mat3& x) {
    double best = 0.0;
    for (int j = 0; j < 3; ++j) {
        const double sum = std::fabs(x.a[0][j]) + std::fabs(x.a[1][j]) + std::fabs(x.a[2][j]);
        if (sum > best) best = sum;
    }
    return best;
}

// Largest absolute row sum.
double infNorm(const Mat3& x) {
    double best = 0.0;
    for (int i = 0; i < 3; ++i) {
        const double sum = std::fabs(x.a[i][0]) + std::fabs(x.a[i][1]) + std::fabs(x.a[i][2]);
        if (sum > best) best = sum;
    }
    return best;
}

// Signed cofactors (the transpose of the adjugate): row i is row i+1 crossed with row i+2.
void cofactorMatrix(const Mat3& x, Mat3& y) {
    for (int i = 0; i < 3; ++i) {
        const double* r1 = x.a[(i + 1) % 3];
        const double* r2 = x.a[(i + 2) % 3];
        for (int j = 0; j < 3; ++j) {
            const int j1 = (j + 1) % 3;
            const int j2 = (j + 2) % 3;
            y.a[i][j] = r1[j1] * r2[j2] - r1[j2] * r2[j1];
        }
    }
}

// Column of the entry of largest magnitude, first in row-major order on ties; -1 for zero.
int largestEntryColumn(const Mat3& x) {
    double best = 0.0;
    int column = -1;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            const double magnitude = std::fabs(x.a[i][j]);
            if (magnitude > best) {
                best = magnitude;
                column = j;
            }
        }
    }
    return column;
}

// u such that I - u u^T carries v onto the third axis (u . u = 2).
Vec3 householderVector(const Vec3& v) {
    const double a = v.v[0];
    const double b = v.v[1];
    const double e = v.v[2];
    const double t = a * a + b * b;
    const double s = std::sqrt(e * e + t);
    const double f = e >= 0.0 ? e + s : e - s;
    const double scale = std::sqrt(2.0 / (f * f + t));
    return Vec3{{a * scale, b * scale, f * scale}};
}

// X = (I - u u^T) X.
void reflectColumns(Mat3& x, const Vec3& u) {
    for (int j = 0; j < 3; ++j) {
        const double t = u.v[0] * x.a[0][j] + u.v[1] * x.a[1][j] + u.v[2] * x.a[2][j];
        for (int i = 0; i < 3; ++i) x.a[i][j] -= u.v[i] * t;
    }
}

// X = X (I - u u^T).
void reflectRows(Mat3& x, const Vec3& u) {
    for (int i = 0; i < 3; ++i) {
        const double t = u.v[0] * x.a[i][0] + u.v[1] * x.a[i][1] + u.v[2] * x.a[i][2];
        for (int j = 0; j < 3; ++j) x.a[i][j] -= u.v[j] * t;
    }
}

// Orthogonal factor of a singular X, given its cofactors Y: two reflections reduce X to its
// upper-left 2 x 2 block, whose own orthogonal factor is a plane turn or reflection.
Mat3 rankTwoFactor(const Mat3& xIn, const Mat3& y) {
    const int k = largestEntryColumn(y);
    if (k < 0) return Mat3{{{1.0, 0.0, 0.0}, {0.0, 1.0, 0.0}, {0.0, 0.0, 1.0}}};

    Mat3 x = xIn;
    const Vec3 uc = householderVector(Vec3{{y.a[0][k], y.a[1][k], y.a[2][k]}});
    reflectColumns(x, uc);

    const double* r0 = x.a[0];
    const double* r1 = x.a[1];
    const Vec3 normal{{r0[1] * r1[2] - r0[2] * r1[1], r0[2] * r1[0] - r0[0] * r1[2],
                       r0[0] * r1[1] - r0[1] * r1[0]}};
    // Rows 0 and 1 came out parallel: the matrix is of rank 1 within double rounding (as for a
    // bone whose members lie on a line, but for a depth of 1e-38). A reflector of the zero vector
    // would be no number at all; the rank-1 answer applies instead.
    if (normal.v[0] == 0.0 && normal.v[1] == 0.0 && normal.v[2] == 0.0) {
        return Mat3{{{1.0, 0.0, 0.0}, {0.0, 1.0, 0.0}, {0.0, 0.0, 1.0}}};
    }
    const Vec3 ur = householderVector(normal);
    reflectRows(x, ur);

    const double w = x.a[0][0];
    const double xx = x.a[0][1];
    const double yy = x.a[1][0];
    const double z = x.a[1][1];
    const bool turn = w * z > xx * yy;
    double g = turn ? z + w : z - w;
    double h = turn ? yy - xx : yy + xx;
    const double n = 1.0 / std::sqrt(g * g + h * h);
    g = g * n;
    h = h * n;

    Mat3 p = turn ? Mat3{{{g, -h, 0.0}, {h, g, 0.0}, {0.0, 0.0, 1.0}}}
                  : Mat3{{{-g, h, 0.0}, {h, g, 0.0}, {0.0, 0.0, 1.0}}};
    reflectColumns(p, uc);
    reflectRows(p, ur);
    return p;
}

}  // namespace

int polarDecompose(const Matrix4& m, Matrix4& q) {
    Mat3 x;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) x.a[i][j] = m.m[j][i];
    }
    double m1 = oneNorm(x);
    double mi = infNorm(x);

    int passes = 0;
    Mat3 y;
    Mat3 e;
    while (passes < POLAR_MAX_PASSES) {
        ++passes;
        cofactorMatrix(x, y);
        const double d = x.a[0][0] * y.a[0][0] + x.a[0][1] * y.a[0][1] + x.a[0][2] * y.a[0][2];
        if (d == 0.0) {
            x = rankTwoFactor(x, y);
            break;
        }
        const double y1 = oneNorm(y);
        const double yi = infNorm(y);
        const double gamma = std::sqrt(std::sqrt((y1 * yi) / (m1 * mi)) / std::fabs(d));
        const double g1 = 0.5 * gamma;
        const double g2 = 0.5 / (gamma * d);
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                const double old = x.a[i][j];
                x.a[i][j] = g1 * old + g2 * y.a[i][j];
                e.a[i][j] = old - x.a[i][j];
            }
        }
        const double e1 = oneNorm(e);
        m1 = oneNorm(x);
        mi = infNorm(x);
        if (!(e1 > m1 * POLAR_TOLERANCE)) break;
    }

    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) q.m[i][j] = x.a[j][i];
        q.m[i][3] = 0.0;
        q.m[3][i] = 0.0;
    }
    q.m[3][3] = 1.0;
    return passes;
}

int invertUnlessReflection(const Matrix4& q, Matrix4& r) {
    const double(&s)[4][4] = q.m;
    const double a = s[1][1] * s[2][2] - s[2][1] * s[1][2];
    const double b = s[2][1] * s[0][2] - s[2][2] * s[0][1];
    const double c3 = s[1][2] * s[0][1] - s[1][1] * s[0][2];
    const double d = a * s[0][0] + b * s[1][0] + c3 * s[2][0];
    if (d < 0.0) return 0;
    const double inv = 1.0 / d;
    r.m[0][0] = a * inv;
    r.m[0][1] = b * inv;
    r.m[0][2] = c3 * inv;
    r.m[1][0] = (s[1][2] * s[2][0] - s[1][0] * s[2][2]) * inv;
    r.m[1][1] = (s[0][0] * s[2][2] - s[0][2] * s[2][0]) * inv;
    r.m[1][2] = (s[0][2] * s[1][0] - s[0][0] * s[1][2]) * inv;
    r.m[2][0] = (s[1][0] * s[2][1] - s[1][1] * s[2][0]) * inv;
    r.m[2][1] = (s[0][1] * s[2][0] - s[0][0] * s[2][1]) * inv;
    r.m[2][2] = (s[0][0] * s[1][1] - s[0][1] * s[1][0]) * inv;
    return 1;
}
