#include "driver/solve.h"

void solveDeformation(Scene& /*scene*/, const Vec3f& /*drift*/, bool /*rawAverage*/,
                      const MatrixStore& /*matrices*/) {}

void recentreDepth(const Scene& /*scene*/, Vec3f& /*drift*/) {}
