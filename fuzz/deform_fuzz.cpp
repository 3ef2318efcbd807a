// The deformation kernel on arbitrary numbers, finite or not: the polar factor of any 3 x 3
// matrix and one bone's shape-matching step over a small mesh and mask made from the input.
// Neither may hang, read outside its lists or move a vertex. For matrices whose entries lie in
// the range that a bone's covariance can take (sums of single-precision products) the factor is
// orthogonal, and for a mesh of sane size every goal is a number. Far outside that range (a row
// of 1e-150 next to rows of 1, or entries of 1e-42 next to one of 5e44) the iteration's
// products leave the double range: the factor is then only required to come back.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "deform/matrix_decomposition.h"
#include "deform/shape_matching.h"
#include "fuzz_support.h"

namespace {

bool sane(double value, double limit) {
    return std::isfinite(value) && std::fabs(value) <= limit;
}

// Zero, or the magnitude of a sum of single-precision products of a mesh in a picture's pixel
// frame: at least the smallest float, at most a million members of handle weight 1000 with
// offsets of 1e5.
bool covarianceRange(double value) {
    return value == 0.0 || (std::fabs(value) >= 1e-45 && std::fabs(value) <= 1e20);
}

bool sane(const Vec3f& v, float limit) {
    return sane(v.x, limit) && sane(v.y, limit) && sane(v.z, limit);
}

// Q^T Q = I within a tolerance that the iteration's stopping rule leaves.
bool orthogonal(const Matrix4& q) {
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            double dot = 0.0;
            for (int k = 0; k < 3; ++k) dot += q.m[k][i] * q.m[k][j];
            if (std::fabs(dot - (i == j ? 1.0 : 0.0)) > 1e-5) return false;
        }
    }
    return true;
}

void polarCase(fuzz::ByteReader& reader) {
    Matrix4 m{};
    bool inRange = true;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            m.m[i][j] = reader.take<double>();
            inRange = inRange && covarianceRange(m.m[i][j]);
        }
    }
    Matrix4 q{};
    const int passes = polarDecompose(m, q);
    FUZZ_CHECK(passes >= 1 && passes <= POLAR_MAX_PASSES);
    FUZZ_CHECK(q.m[3][3] == 1.0 && q.m[0][3] == 0.0 && q.m[3][0] == 0.0);
    if (inRange) FUZZ_CHECK(orthogonal(q));
    Matrix4 r{};
    invertUnlessReflection(q, r);
}

void boneCase(fuzz::ByteReader& reader) {
    // A mask of 0 x 0 to 15 x 15 pixels, mostly sparse so that the window searches run.
    const int width = reader.byte() % 16;
    const int height = reader.byte() % 16;
    ImagePtr mask(createImage(1, width, height));
    FUZZ_CHECK(mask != nullptr);
    const size_t pixels = size_t(width) * size_t(height);
    for (size_t i = 0; i < pixels; ++i) {
        const uint8_t b = reader.byte();
        mask->pixels[i] = (b & 0x80u) != 0 ? uint8_t(b << 1) : 0;
    }

    const size_t count = reader.byte() % 17;
    std::vector<MeshVertex> vertices(count);
    bool moderate = true;
    for (MeshVertex& v : vertices) {
        const uint8_t kind = reader.byte();
        v.restPos = Vec3f{reader.take<float>(), reader.take<float>(), reader.take<float>()};
        // Either an independent position or the rest position moved a little: both shapes
        // matter, the second for how the step behaves near the rest shape.
        if ((kind & 1u) != 0) {
            v.pos = Vec3f{reader.take<float>(), reader.take<float>(), reader.take<float>()};
        } else {
            const float shift = float(int8_t(reader.byte())) * 0.125f;
            v.pos = Vec3f{v.restPos.x + shift, v.restPos.y - shift, v.restPos.z};
        }
        v.isHandle = (kind & 2u) != 0 ? 1 : 0;
        moderate = moderate && sane(v.restPos, 1e6f) && sane(v.pos, 1e6f);
    }

    // The loader's member list, or one given by the input (ascending, without repeats).
    std::vector<int32_t> members;
    if ((reader.byte() & 1u) != 0) {
        collectBoneVertices(vertices, *mask, members);
    } else {
        const uint32_t chosen = reader.take<uint16_t>();
        for (size_t i = 0; i < count; ++i) {
            if ((chosen >> i) & 1u) members.push_back(int32_t(i));
        }
    }
    for (size_t k = 0; k < members.size(); ++k) {
        FUZZ_CHECK(members[k] >= 0 && size_t(members[k]) < count);
        if (k > 0) FUZZ_CHECK(members[k - 1] < members[k]);
    }

    for (MeshVertex& v : vertices) {
        v.weightSum = 0.0f;
        v.goalSum = Vec3f{0.0f, 0.0f, 0.0f};
    }
    const std::vector<MeshVertex> before = vertices;
    shapeMatchBone(vertices, members, *mask);

    // The solve's path, with the mask values looked up once, gives the same bits.
    std::vector<uint8_t> values;
    collectMemberMaskValues(before, members, *mask, values);
    FUZZ_CHECK(values.size() == members.size());
    std::vector<MeshVertex> cached = before;
    shapeMatchBoneCached(cached, members, values);
    FUZZ_CHECK(count == 0 ||
               std::memcmp(cached.data(), vertices.data(), count * sizeof(MeshVertex)) == 0);

    std::vector<bool> member(count, false);
    for (int32_t i : members) member[size_t(i)] = true;
    for (size_t i = 0; i < count; ++i) {
        const MeshVertex& v = vertices[i];
        const MeshVertex& old = before[i];
        // The step never moves a vertex, and leaves non-members alone.
        FUZZ_CHECK(std::memcmp(&v.pos, &old.pos, sizeof v.pos) == 0);
        FUZZ_CHECK(std::memcmp(&v.restPos, &old.restPos, sizeof v.restPos) == 0);
        if (!member[i]) {
            FUZZ_CHECK(v.weightSum == 0.0f && v.goalSum.x == 0.0f && v.goalSum.y == 0.0f &&
                       v.goalSum.z == 0.0f);
            FUZZ_CHECK(std::memcmp(&v.weight, &old.weight, sizeof v.weight) == 0);
            continue;
        }
        const int value = maskWeight(v, *mask);
        FUZZ_CHECK(value >= 0 && value <= 255);
        FUZZ_CHECK(v.weightSum >= 0.0f);
        if (moderate) FUZZ_CHECK(sane(v.goalSum, 1e30f));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::ByteReader reader(data, size);
    polarCase(reader);
    boneCase(reader);
    return 0;
}
