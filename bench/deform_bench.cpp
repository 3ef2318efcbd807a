// Costs of the deformation step: the 3 x 3 polar factor next to the textbook route through an
// SVD, one bone's shape-matching step per member, and a frame's worth of sweeps over a mesh.
#include <benchmark/benchmark.h>

#include <Eigen/SVD>
#include <cmath>
#include <random>
#include <vector>

#include "deform/matrix_decomposition.h"
#include "deform/shape_matching.h"
#include "scene/image.h"

namespace {

constexpr int MATRIX_SET_SIZE = 1024;

double conditionOf(const Matrix4& m) {
    Eigen::Matrix3d e;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) e(i, j) = m.m[i][j];
    }
    const Eigen::Vector3d s = Eigen::JacobiSVD<Eigen::Matrix3d>(e).singularValues();
    return s(0) / s(2);
}

// Random matrices with condition number below 50, as a bone's covariance of a solid region.
std::vector<Matrix4> solidCovariances() {
    std::mt19937 random(1234u);
    std::uniform_real_distribution<double> entry(-100.0, 100.0);
    std::vector<Matrix4> set;
    while (set.size() < MATRIX_SET_SIZE) {
        Matrix4 m{};
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) m.m[i][j] = entry(random);
        }
        m.m[3][3] = 1.0;
        if (conditionOf(m) < 50.0) set.push_back(m);
    }
    return set;
}

// A flat bone (every rest z equal) has a covariance whose third row is zero.
std::vector<Matrix4> flatCovariances() {
    std::mt19937 random(99u);
    std::uniform_real_distribution<double> entry(-100.0, 100.0);
    std::vector<Matrix4> set(MATRIX_SET_SIZE);
    for (Matrix4& m : set) {
        m = Matrix4{};
        for (int i = 0; i < 2; ++i) {
            for (int j = 0; j < 3; ++j) m.m[i][j] = entry(random);
        }
        m.m[3][3] = 1.0;
    }
    return set;
}

const std::vector<Matrix4>& matrixSet(int which) {
    static const std::vector<Matrix4> solid = solidCovariances();
    static const std::vector<Matrix4> flat = flatCovariances();
    return which == 0 ? solid : flat;
}

void BM_PolarDecompose(benchmark::State& state) {
    const std::vector<Matrix4>& set = matrixSet(int(state.range(0)));
    size_t index = 0;
    long passes = 0;
    for (auto _ : state) {
        Matrix4 q;
        passes += polarDecompose(set[index], q);
        benchmark::DoNotOptimize(q);
        index = (index + 1) % set.size();
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["passes"] = double(passes) / double(state.iterations());
    state.SetLabel(state.range(0) == 0 ? "solid" : "flat");
}
BENCHMARK(BM_PolarDecompose)->Arg(0)->Arg(1);

// The peer: the orthogonal factor U V^T from Eigen's two-sided Jacobi SVD.
void BM_SvdRotation(benchmark::State& state) {
    const std::vector<Matrix4>& source = matrixSet(int(state.range(0)));
    std::vector<Eigen::Matrix3d> set(source.size());
    for (size_t k = 0; k < source.size(); ++k) {
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) set[k](i, j) = source[k].m[i][j];
        }
    }
    size_t index = 0;
    for (auto _ : state) {
        const Eigen::JacobiSVD<Eigen::Matrix3d> svd(set[index],
                                                    Eigen::ComputeFullU | Eigen::ComputeFullV);
        Eigen::Matrix3d q = svd.matrixU() * svd.matrixV().transpose();
        benchmark::DoNotOptimize(q);
        index = (index + 1) % set.size();
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(state.range(0) == 0 ? "solid" : "flat");
}
BENCHMARK(BM_SvdRotation)->Arg(0)->Arg(1);

// A square grid of vertices two pixels apart inside a picture. With a border, the painted
// area stops short of the grid's edge, so the outer members find their value by the window
// search (the slow path).
struct GridBone {
    std::vector<MeshVertex> vertices;
    std::vector<int32_t> members;
    ImagePtr mask;
};

GridBone makeGridBone(int side, int border) {
    GridBone bone;
    const int size = side * 2 + 16;
    bone.mask.reset(createImage(1, size, size));
    for (int y = 8 + border; y < size - 8 - border; ++y) {
        for (int x = 8 + border; x < size - 8 - border; ++x) {
            bone.mask->rows[y][x] = (unsigned char)(60 + (x * 5 + y * 3) % 190);
        }
    }
    const double angle = 0.3, c = std::cos(angle), s = std::sin(angle);
    for (int i = 0; i < side; ++i) {
        for (int j = 0; j < side; ++j) {
            MeshVertex v{};
            v.restPos = Vec3f{8.5f + 2.0f * float(j), 8.5f + 2.0f * float(i), float((i * j) % 7)};
            v.pos = Vec3f{float(c * v.restPos.x - s * v.restPos.y + 3.0),
                          float(s * v.restPos.x + c * v.restPos.y - 2.0), v.restPos.z + 1.0f};
            bone.vertices.push_back(v);
        }
    }
    collectBoneVertices(bone.vertices, *bone.mask, bone.members);
    return bone;
}

void BM_ShapeMatchBone(benchmark::State& state) {
    const int side = int(state.range(0));
    GridBone bone = makeGridBone(side, int(state.range(1)));
    for (auto _ : state) {
        for (MeshVertex& v : bone.vertices) {
            v.goalSum = Vec3f{0.0f, 0.0f, 0.0f};
            v.weightSum = 0.0f;
        }
        shapeMatchBone(bone.vertices, bone.members, *bone.mask);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * int64_t(bone.members.size()));
    state.counters["members"] = double(bone.members.size());
}
// 32 x 32 and 100 x 100 grids: 1k and 10k members, without and with a border.
BENCHMARK(BM_ShapeMatchBone)->Args({32, 0})->Args({100, 0})->Args({32, 3})->Args({100, 3});

// A frame of the solve on a 10k-vertex mesh: 16 sweeps of zeroing, every bone's step, and the
// plain weighted average (the projection test of the driver is not part of this subsystem).
void BM_SixteenSweeps(benchmark::State& state) {
    const int side = 100;
    const int size = side * 4 + 16;
    std::vector<MeshVertex> vertices;
    for (int i = 0; i < side; ++i) {
        for (int j = 0; j < side; ++j) {
            MeshVertex v{};
            v.restPos = Vec3f{8.5f + 4.0f * float(j), 8.5f + 4.0f * float(i), 0.0f};
            v.pos = v.restPos;
            vertices.push_back(v);
        }
    }
    vertices[0].isHandle = 1;
    vertices[0].pos.x += 20.0f;
    vertices.back().isHandle = 1;
    // A 4 x 3 grid of overlapping rectangular bones.
    std::vector<ImagePtr> masks;
    std::vector<std::vector<int32_t>> members;
    for (int by = 0; by < 3; ++by) {
        for (int bx = 0; bx < 4; ++bx) {
            ImagePtr mask(createImage(1, size, size));
            const int x0 = bx * size / 4 - 10, x1 = (bx + 1) * size / 4 + 10;
            const int y0 = by * size / 3 - 10, y1 = (by + 1) * size / 3 + 10;
            for (int y = y0 < 0 ? 0 : y0; y < (y1 > size ? size : y1); ++y) {
                for (int x = x0 < 0 ? 0 : x0; x < (x1 > size ? size : x1); ++x) {
                    mask->rows[y][x] = 255;
                }
            }
            members.emplace_back();
            collectBoneVertices(vertices, *mask, members.back());
            masks.push_back(std::move(mask));
        }
    }
    size_t memberCount = 0;
    for (const auto& list : members) memberCount += list.size();
    for (auto _ : state) {
        for (int sweep = 0; sweep < 16; ++sweep) {
            for (MeshVertex& v : vertices) {
                v.goalSum = Vec3f{0.0f, 0.0f, 0.0f};
                v.weightSum = 0.0f;
            }
            for (size_t b = 0; b < masks.size(); ++b)
                shapeMatchBone(vertices, members[b], *masks[b]);
            for (MeshVertex& v : vertices) {
                if (v.isHandle != 0 || !(v.weightSum > 0.0f)) continue;
                const float r = 1.0f / v.weightSum;
                v.pos = Vec3f{v.goalSum.x * r, v.goalSum.y * r, v.goalSum.z * r};
            }
        }
        benchmark::ClobberMemory();
    }
    state.counters["members"] = double(memberCount);
    state.counters["bones"] = double(masks.size());
}
BENCHMARK(BM_SixteenSweeps)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
