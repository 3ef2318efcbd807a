#include "deform/matrix_decomposition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <random>

namespace {

Matrix4 fromRows(std::initializer_list<std::initializer_list<double>> rows) {
    Matrix4 m{};
    int i = 0;
    for (const auto& row : rows) std::copy(row.begin(), row.end(), m.m[i++]);
    m.m[3][3] = 1.0;
    return m;
}

Matrix4 diag(double a, double b, double c) {
    return fromRows({{a, 0, 0}, {0, b, 0}, {0, 0, c}});
}

const Matrix4 IDENTITY = diag(1, 1, 1);

// The 3 x 3 blocks, entry k at row k / 3 and column k % 3.
void expectBlockNear(const Matrix4& actual, const Matrix4& expected, double tolerance) {
    for (int k = 0; k < 9; ++k) {
        EXPECT_NEAR(actual.m[k / 3][k % 3], expected.m[k / 3][k % 3], tolerance) << "entry " << k;
    }
}

Matrix4 multiply(const Matrix4& a, const Matrix4& b) {
    Matrix4 c{};  // k runs over (row, inner index, column)
    for (int k = 0; k < 27; ++k) c.m[k / 9][k % 3] += a.m[k / 9][k / 3 % 3] * b.m[k / 3 % 3][k % 3];
    return c;
}

Matrix4 transpose(const Matrix4& a) {
    Matrix4 t{};
    for (int k = 0; k < 9; ++k) t.m[k / 3][k % 3] = a.m[k % 3][k / 3];
    return t;
}

double determinant(const Matrix4& a) {
    const auto& m = a.m;
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
           m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

// Rotations about slanted axes with rational entries.
const Matrix4 TURN_A = fromRows(
    {{2 / 3.0, -1 / 3.0, 2 / 3.0}, {2 / 3.0, 2 / 3.0, -1 / 3.0}, {-1 / 3.0, 2 / 3.0, 2 / 3.0}});
const Matrix4 TURN_B = fromRows(
    {{1 / 9.0, -4 / 9.0, 8 / 9.0}, {8 / 9.0, 4 / 9.0, 1 / 9.0}, {-4 / 9.0, 7 / 9.0, 4 / 9.0}});

// Cyclic Jacobi rotations on a symmetric matrix: a = V diag V^T, with V's columns the
// eigenvectors and the eigenvalues left on the diagonal.
void jacobiEigen(Matrix4 a, double values[3], Matrix4& vectors) {
    vectors = IDENTITY;
    for (int sweep = 0; sweep < 60; ++sweep) {
        if (a.m[0][1] * a.m[0][1] + a.m[0][2] * a.m[0][2] + a.m[1][2] * a.m[1][2] < 1e-40) break;
        for (int p = 0; p < 2; ++p) {
            for (int q = p + 1; q < 3; ++q) {
                if (a.m[p][q] == 0.0) continue;
                const double theta = (a.m[q][q] - a.m[p][p]) / (2 * a.m[p][q]);
                const double t =
                    (theta >= 0 ? 1.0 : -1.0) / (std::fabs(theta) + std::sqrt(theta * theta + 1));
                const double c = 1 / std::sqrt(t * t + 1), s = t * c;
                Matrix4 rotation = IDENTITY;
                rotation.m[p][p] = rotation.m[q][q] = c;
                rotation.m[p][q] = s;
                rotation.m[q][p] = -s;
                a = multiply(transpose(rotation), multiply(a, rotation));
                vectors = multiply(vectors, rotation);
            }
        }
    }
    for (int i = 0; i < 3; ++i) values[i] = a.m[i][i];
}

// The orthogonal polar factor the textbook way, M (M^T M)^(-1/2), and M's condition number.
Matrix4 referenceOrthogonalFactor(const Matrix4& m, double* conditionNumber) {
    double values[3];
    Matrix4 v;
    jacobiEigen(multiply(transpose(m), m), values, v);
    Matrix4 inverseRoot{};
    for (int k = 0; k < 3; ++k) {
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                inverseRoot.m[i][j] += v.m[i][k] * v.m[j][k] / std::sqrt(values[k]);
            }
        }
    }
    *conditionNumber =
        std::sqrt(*std::max_element(values, values + 3) / *std::min_element(values, values + 3));
    return multiply(m, inverseRoot);
}

}  // namespace

TEST(PolarDecomposition, RankOneOrLessGivesTheIdentity) {
    for (const Matrix4& m :
         {diag(0, 0, 0), diag(0, 0, 5), fromRows({{1, 2, 3}, {2, 4, 6}, {-1, -2, -3}})}) {
        Matrix4 q;
        EXPECT_EQ(polarDecompose(m, q), 1);
        expectBlockNear(q, IDENTITY, 0.0);
    }
}

TEST(PolarDecomposition, RankTwoTakesTheSingularPath) {
    const double t = 0.7, c = std::cos(t), s = std::sin(t);
    const struct {
        Matrix4 m, q;
        int inverts;
    } cases[] = {
        {diag(1, 1, 0), IDENTITY, 1},
        // Stretching the rows is the symmetric factor's business, not the turn's.
        {fromRows({{3 * c, -3 * s, 0}, {2 * s, 2 * c, 0}, {0, 0, 0}}),
         fromRows({{c, -s, 0}, {s, c, 0}, {0, 0, 1}}), 1},
        {diag(-1, 1, 0), diag(-1, 1, 1), 0},
        // A half turn is a rotation, so it inverts.
        {diag(-1, -1, 0), diag(-1, -1, 1), 1},
    };
    for (const auto& test : cases) {
        Matrix4 q, r;
        EXPECT_EQ(polarDecompose(test.m, q), 1);
        expectBlockNear(q, test.q, 1e-15);
        ASSERT_EQ(invertUnlessReflection(q, r), test.inverts);
        if (test.inverts) expectBlockNear(r, transpose(test.q), 1e-15);
    }

    // The determinant test is for exact zero, which this rank-2 matrix gives: a reflection.
    Matrix4 q, r;
    EXPECT_EQ(polarDecompose(fromRows({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}), q), 1);
    expectBlockNear(multiply(transpose(q), q), IDENTITY, 1e-14);
    EXPECT_EQ(invertUnlessReflection(q, r), 0);

    // Flat covariances in any orientation: M = Q S with Q orthogonal and S symmetric and
    // positive semi-definite.
    std::mt19937 random(77u);
    std::uniform_real_distribution<double> entry(-10.0, 10.0);
    for (int n = 0; n < 200; ++n) {
        Matrix4 m = diag(0, 0, 0);
        for (int k = 0; k < 6; ++k) m.m[k / 3][k % 3] = entry(random);
        EXPECT_EQ(polarDecompose(m, q), 1);
        expectBlockNear(multiply(transpose(q), q), IDENTITY, 1e-13);
        const Matrix4 symmetric = multiply(transpose(q), m);
        expectBlockNear(symmetric, transpose(symmetric), 1e-12);
        double values[3];
        Matrix4 vectors;
        jacobiEigen(symmetric, values, vectors);
        for (double value : values) EXPECT_GT(value, -1e-12);
    }
}

TEST(PolarDecomposition, OrthogonalInputInOnePassAStretchToTheIdentityPadded) {
    Matrix4 q;
    for (auto& row : q.m) std::fill(row, row + 4, 7.0);
    Matrix4 rotation = TURN_A;
    rotation.m[3][3] = -5.0;
    rotation.m[0][3] = 9.0;
    EXPECT_EQ(polarDecompose(rotation, q), 1);
    expectBlockNear(q, rotation, 1e-15);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(q.m[i][3] == 0.0 && q.m[3][i] == 0.0) << i;
    EXPECT_EQ(q.m[3][3], 1.0);
    EXPECT_EQ(rotation.m[3][3], -5.0);

    Matrix4 r;
    EXPECT_EQ(polarDecompose(diag(-1, 1, 1), q), 1);
    expectBlockNear(q, diag(-1, 1, 1), 0.0);
    EXPECT_EQ(invertUnlessReflection(q, r), 0);

    const int passes = polarDecompose(diag(2, 3, 4), q);
    EXPECT_GT(passes, 1);
    EXPECT_LT(passes, 10);
    expectBlockNear(q, IDENTITY, 1e-12);
}

TEST(PolarDecomposition, NonFiniteInputEnds) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (const Matrix4& m : {diag(nan, 1, 1), diag(inf, 1, 1), diag(-inf, inf, 1),
                             fromRows({{1, 2, 3}, {4, nan, 6}, {7, 8, 9}}),
                             fromRows({{inf, inf, inf}, {inf, inf, inf}, {inf, inf, inf}}),
                             diag(1e200, 1e200, 1e-300), diag(1e-200, 1e-200, 1e-200)}) {
        Matrix4 q;
        const int passes = polarDecompose(m, q);
        EXPECT_GE(passes, 1);
        EXPECT_LE(passes, POLAR_MAX_PASSES);
        EXPECT_EQ(q.m[3][3], 1.0);
    }
}

TEST(PolarDecomposition, AgreesWithTheEigenvalueRouteOnRandomMatrices) {
    std::mt19937 random(20240611u);
    std::uniform_real_distribution<double> entry(-1.0, 1.0);
    int checked = 0, reflections = 0;
    while (checked < 300) {
        Matrix4 m = IDENTITY;
        for (int k = 0; k < 9; ++k) m.m[k / 3][k % 3] = entry(random) * 40.0;
        double condition = 0;
        const Matrix4 expected = referenceOrthogonalFactor(m, &condition);
        if (!(condition < 50.0)) continue;
        ++checked;
        Matrix4 q, r;
        EXPECT_LE(polarDecompose(m, q), 12);
        expectBlockNear(q, expected, 1e-9);
        const bool reflection = determinant(m) < 0;
        reflections += reflection;
        ASSERT_EQ(invertUnlessReflection(q, r), reflection ? 0 : 1);
        if (!reflection) expectBlockNear(r, transpose(expected), 1e-9);
    }
    // Both signs of determinant were exercised.
    EXPECT_GT(reflections, 50);
    EXPECT_LT(reflections, 250);
}

TEST(InverseUnlessReflection, InvertsThroughCofactorsIntoTheBlockOnly) {
    const Matrix4 rotation = TURN_B;
    Matrix4 r;
    for (auto& row : r.m) std::fill(row, row + 4, 7.0);
    ASSERT_EQ(invertUnlessReflection(rotation, r), 1);
    expectBlockNear(r, transpose(rotation), 1e-15);
    EXPECT_TRUE(r.m[3][3] == 7.0 && r.m[0][3] == 7.0 && r.m[3][1] == 7.0);

    const Matrix4 general = fromRows({{2, 1, 0}, {0, 3, 1}, {1, 0, 4}});
    ASSERT_EQ(invertUnlessReflection(general, r), 1);
    expectBlockNear(multiply(r, general), IDENTITY, 1e-15);
    // det 25: every entry of the inverse is a cofactor times the reciprocal of 25.
    EXPECT_EQ(r.m[0][0], 12.0 * (1.0 / 25.0));
    EXPECT_EQ(r.m[2][0], -3.0 * (1.0 / 25.0));

    EXPECT_EQ(invertUnlessReflection(fromRows({{0, 1, 0}, {1, 0, 0}, {0, 0, 1}}), r), 0);
    // Only a negative determinant is refused; a zero one is not looked at.
    EXPECT_EQ(invertUnlessReflection(diag(0, 1, 1), r), 1);
}
