// The mesh's outline: closed polygons around each piece of the figure (and around its holes)
// that keep within a band just outside the figure's own outline, with sides no longer than the
// size field asks for there.
#pragma once

#include <cstdint>
#include <vector>

#include "figure/distance_field.h"
#include "figure/grid.h"
#include "figure/vec2.h"

struct OutlineBand {
    float grow = 1.0f;   // the traced region is where the field is at most this
    float inner = 0.0f;  // sides never come closer to the figure than this (field value)...
    float outer = 2.0f;  // ...nor go further out than this
};

struct Outline {
    std::vector<Vec2> points;  // closed: the last point joins the first
    int piece = 0;
};

// `piece` gives, per pixel, the piece whose outline is nearest (1, 2, ...; 0 where none is); an
// empty grid makes the whole field one piece. Outlines of different pieces never touch.
std::vector<Outline> traceOutlines(const DistanceField& field, const Grid<int32_t>& piece,
                                   const Grid<float>& size, const OutlineBand& band);

// Whether the straight side from a to b keeps within the band, and near piece `piece`.
bool sideInBand(const DistanceField& field, const Grid<int32_t>& piece, int pieceId, Vec2 a, Vec2 b,
                const OutlineBand& band);
