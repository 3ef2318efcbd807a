// The benchmark's meshes: painted grids of any size, shared with the test that pins the solve's
// results on them.
#pragma once

#include <cmath>
#include <memory>

#include "deform/shape_matching.h"
#include "scene/image.h"
#include "scene/records.h"

constexpr int32_t PAINTED_PICTURE_WIDTH = 640;
constexpr int32_t PAINTED_PICTURE_HEIGHT = 400;

// Columns and rows of a grid with about `count` vertices and the picture's proportions.
inline void paintedGridShape(int count, int& columns, int& rows) {
    columns =
        int(std::lround(std::sqrt(double(count) * PAINTED_PICTURE_WIDTH / PAINTED_PICTURE_HEIGHT)));
    rows = (count + columns - 1) / columns;
}

// Eight bones in a 4 x 2 layout, each reaching a fifth of a cell into its neighbours, painted
// with a gradient so that members carry different weights.
inline ImagePtr paintBone(int bone) {
    ImagePtr mask(createImage(1, PAINTED_PICTURE_WIDTH, PAINTED_PICTURE_HEIGHT));
    const int cellW = PAINTED_PICTURE_WIDTH / 4;
    const int cellH = PAINTED_PICTURE_HEIGHT / 2;
    const int left = (bone % 4) * cellW - cellW / 5;
    const int right = (bone % 4 + 1) * cellW + cellW / 5;
    const int top = (bone / 4) * cellH - cellH / 5;
    const int bottom = (bone / 4 + 1) * cellH + cellH / 5;
    for (int y = 0; y < PAINTED_PICTURE_HEIGHT; ++y) {
        for (int x = 0; x < PAINTED_PICTURE_WIDTH; ++x) {
            if (x < left || x >= right || y < top || y >= bottom) continue;
            mask->rows[y][x] = static_cast<unsigned char>(60 + (x - left) * 195 / (right - left));
        }
    }
    return mask;
}

// A grid of about `count` vertices with eight bones and one handle: a corner dragged out and
// towards the viewer.
inline std::unique_ptr<Scene> paintedScene(int count) {
    auto scene = std::make_unique<Scene>();
    int columns = 0, rows = 0;
    paintedGridShape(count, columns, rows);
    std::vector<MeshVertex>& vertices = scene->mesh.vertices;
    vertices.resize(size_t(count));
    const float stepX = float(PAINTED_PICTURE_WIDTH - 1) / float(columns - 1);
    const float stepY = float(PAINTED_PICTURE_HEIGHT - 1) / float(rows - 1);
    for (int i = 0; i < count; ++i) {
        MeshVertex& v = vertices[size_t(i)];
        v.restPos = Vec3f{float(i % columns) * stepX, float(i / columns) * stepY, 0.0f};
        v.pos = v.restPos;
    }
    Vec3f centre{0.0f, 0.0f, 0.0f};
    for (const MeshVertex& v : vertices) {
        centre.x += v.restPos.x;
        centre.y += v.restPos.y;
    }
    scene->mesh.centre.restPos = Vec3f{centre.x / float(count), centre.y / float(count), 0.0f};
    scene->boneCount = 8;
    for (int b = 0; b < 8; ++b) {
        scene->boneMasks.push_back(paintBone(b));
        scene->boneVertices.emplace_back();
        collectBoneVertices(vertices, *scene->boneMasks.back(), scene->boneVertices.back());
        scene->boneMemberValues.emplace_back();
        collectMemberMaskValues(vertices, scene->boneVertices.back(), *scene->boneMasks.back(),
                                scene->boneMemberValues.back());
    }
    vertices[0].isHandle = 1;
    vertices[0].pos = Vec3f{-40.0f, -25.0f, 30.0f};
    return scene;
}
