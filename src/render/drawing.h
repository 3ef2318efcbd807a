// The two drawing operations of every frame: the background picture and the textured mesh.
#pragma once

#include <cstdint>

#include "scene/records.h"

// Covers the whole viewport with the picture under `textureIndex`, its colours times the
// brightness clamped to 0..1. The picture is laid out in the pixels of the configured window,
// which are then stretched over whatever viewport is current.
void drawBackground(int32_t textureIndex, float brightness, int32_t windowWidth,
                    int32_t windowHeight);

// Draws the mesh's triangles at their current positions, textured by their rest positions.
void drawMesh(const Mesh& mesh, int32_t texWidth, int32_t texHeight, int32_t textureIndex);
