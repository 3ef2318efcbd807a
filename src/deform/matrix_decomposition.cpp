#include "deform/matrix_decomposition.h"

void polarDecompose(const Matrix4& /*m*/, Matrix4& q) {
    q = Matrix4{};
}

int invertUnlessReflection(const Matrix4& /*q*/, Matrix4& /*r*/) {
    return 0;
}
