#include "figure/mesher.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "figure/delaunay.h"
#include "figure/size_field.h"

namespace {

constexpr double grading = 0.3;

// Points by the cell they fall in, for the searches among neighbours.
struct PointCells {
    double minX = 0.0, minY = 0.0, cellSize = 1.0;
    int columns = 0, rows = 0;
    std::vector<std::vector<int>> cells;
};

PointCells makeCells(double minX, double minY, double maxX, double maxY, double cellSize) {
    PointCells c;
    c.minX = minX;
    c.minY = minY;
    c.cellSize = cellSize;
    c.columns = std::max(1, int((maxX - minX) / cellSize) + 1);
    c.rows = std::max(1, int((maxY - minY) / cellSize) + 1);
    c.cells.assign(size_t(c.columns) * size_t(c.rows), {});
    return c;
}

int cellColumn(const PointCells& c, double x) {
    return std::min(c.columns - 1, std::max(0, int((x - c.minX) / c.cellSize)));
}
int cellRow(const PointCells& c, double y) {
    return std::min(c.rows - 1, std::max(0, int((y - c.minY) / c.cellSize)));
}

void addToCells(PointCells& c, Vec2 p, int id) {
    c.cells[size_t(cellRow(c, p.y)) * size_t(c.columns) + size_t(cellColumn(c, p.x))].push_back(id);
}

void removeFromCells(PointCells& c, Vec2 p, int id) {
    auto& list = c.cells[size_t(cellRow(c, p.y)) * size_t(c.columns) + size_t(cellColumn(c, p.x))];
    list.erase(std::remove(list.begin(), list.end(), id), list.end());
}

// Calls `visit(id)` for the entries of every cell within `radius` of p; stops when it
// returns false, and says whether it ran to the end.
template <typename Visit>
bool eachNear(const PointCells& c, Vec2 p, double radius, Visit visit) {
    const int x0 = cellColumn(c, p.x - radius), x1 = cellColumn(c, p.x + radius);
    const int y0 = cellRow(c, p.y - radius), y1 = cellRow(c, p.y + radius);
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            for (int id : c.cells[size_t(y) * size_t(c.columns) + size_t(x)])
                if (!visit(id)) return false;
    return true;
}

// The outline polygons, for the even-odd test of a point against all of them.
struct PolygonSet {
    int firstRow = 0;
    std::vector<std::vector<std::pair<Vec2, Vec2>>> rows;
};

PolygonSet makePolygonSet(const std::vector<Outline>& outlines) {
    PolygonSet set;
    double minY = 1e30, maxY = -1e30;
    for (const Outline& o : outlines)
        for (const Vec2& p : o.points) {
            minY = std::min(minY, p.y);
            maxY = std::max(maxY, p.y);
        }
    if (minY > maxY) return set;
    set.firstRow = int(std::floor(minY));
    set.rows.assign(size_t(int(std::floor(maxY)) - set.firstRow + 1), {});
    for (const Outline& o : outlines) {
        for (size_t i = 0; i < o.points.size(); ++i) {
            const Vec2 a = o.points[i], b = o.points[(i + 1) % o.points.size()];
            const int r0 = int(std::floor(std::min(a.y, b.y))) - set.firstRow;
            const int r1 = int(std::floor(std::max(a.y, b.y))) - set.firstRow;
            for (int r = r0; r <= r1; ++r) set.rows[size_t(r)].push_back({a, b});
        }
    }
    return set;
}

bool insidePolygons(const PolygonSet& set, Vec2 p) {
    const int r = int(std::floor(p.y)) - set.firstRow;
    if (r < 0 || r >= int(set.rows.size())) return false;
    bool inside = false;
    for (const auto& [a, b] : set.rows[size_t(r)]) {
        if ((a.y > p.y) == (b.y > p.y)) continue;
        const double x = a.x + (p.y - a.y) / (b.y - a.y) * (b.x - a.x);
        if (x > p.x) inside = !inside;
    }
    return inside;
}

int pieceAt(const Grid<int32_t>& piece, Vec2 p) {
    if (piece.cells.empty()) return 1;
    const int x = int(std::floor(p.x)), y = int(std::floor(p.y));
    return insideGrid(piece, x, y) ? cell(piece, x, y) : 0;
}

struct Work {
    std::vector<Vec2> points;
    std::vector<int> pieceOf;
    size_t fixed = 0;                        // points [0, fixed) lie on the outline
    std::vector<std::pair<int, int>> sides;  // the outline's sides, between fixed points
    PointCells near;                         // every point
    PointCells sideMiddles;                  // the middle of every side, by side index
    double longestSide = 0.0;
};

Vec2 middleOf(const Work& w, const std::pair<int, int>& s) {
    return (w.points[size_t(s.first)] + w.points[size_t(s.second)]) * 0.5;
}

// Whether p lies inside the circle whose diameter is a side of the outline: such a point
// would keep the side out of the Delaunay triangulation.
bool encroaches(const Work& w, Vec2 p) {
    return !eachNear(w.sideMiddles, p, 0.5 * w.longestSide + 1e-9, [&](int s) {
        const auto& side = w.sides[size_t(s)];
        const double radius =
            0.5 * length(w.points[size_t(side.second)] - w.points[size_t(side.first)]);
        return length(p - middleOf(w, side)) >= 1.02 * radius;
    });
}

bool clearOfPoints(const Work& w, Vec2 p, double distance, int self) {
    return eachNear(w.near, p, distance, [&](int id) {
        return id == self || length(w.points[size_t(id)] - p) >= distance;
    });
}

// Interior points: triangular lattices from the spacing down to the smallest size, each point
// kept when it is far enough inside and far enough from those kept before.
void placeInside(Work& w, const DistanceField& field, const Grid<int32_t>& piece,
                 const Grid<float>& size, const MeshSettings& settings, double minX, double minY,
                 double maxX, double maxY) {
    double previous = 1e30;
    for (double step = settings.spacing; step > 0.8 * settings.smallest; step *= 0.75) {
        const double rowStep = step * std::sqrt(3.0) * 0.5;
        int row = 0;
        for (double y = minY; y <= maxY; y += rowStep, ++row) {
            for (double x = minX + (row % 2 == 1 ? 0.5 * step : 0.0); x <= maxX; x += step) {
                const Vec2 q{x, y};
                const double h = sampleSize(size, q);
                if (h >= previous) continue;  // an earlier lattice already covered it
                if (sampleField(field, q) > 0.5 - 0.55 * h) continue;
                const int id = pieceAt(piece, q);
                if (id == 0) continue;
                if (!clearOfPoints(w, q, 0.8 * h, -1) || encroaches(w, q)) continue;
                w.points.push_back(q);
                w.pieceOf.push_back(id);
                addToCells(w.near, q, int(w.points.size()) - 1);
            }
        }
        previous = step;
    }
}

std::vector<std::array<int, 3>> keptTriangles(const Work& w, const PolygonSet& polygons) {
    std::vector<std::array<int, 3>> kept;
    for (const auto& t : delaunayTriangles(w.points)) {
        const int p = w.pieceOf[size_t(t[0])];
        if (w.pieceOf[size_t(t[1])] != p || w.pieceOf[size_t(t[2])] != p) continue;
        const Vec2 a = w.points[size_t(t[0])], b = w.points[size_t(t[1])],
                   c = w.points[size_t(t[2])];
        if (twiceArea(a, b, c) == 0.0) continue;
        if (!insidePolygons(polygons, (a + b + c) * (1.0 / 3.0))) continue;
        kept.push_back(t);
    }
    return kept;
}

std::set<std::pair<int, int>> edgesOf(const std::vector<std::array<int, 3>>& triangles) {
    std::set<std::pair<int, int>> edges;
    for (const auto& t : triangles)
        for (int k = 0; k < 3; ++k) {
            const int a = t[size_t(k)], b = t[size_t((k + 1) % 3)];
            edges.insert({std::min(a, b), std::max(a, b)});
        }
    return edges;
}

// Splits every side of the outline that the triangulation lost, and moves away the inside
// points that keep the halves out. Says whether any side was split.
bool splitLostSides(Work& w, const std::set<std::pair<int, int>>& edges) {
    std::vector<std::pair<int, int>> sides;
    bool split = false;
    for (const auto& s : w.sides) {
        if (edges.count({std::min(s.first, s.second), std::max(s.first, s.second)}) != 0 ||
            length(w.points[size_t(s.first)] - w.points[size_t(s.second)]) < 1.0) {
            sides.push_back(s);
            continue;
        }
        // Fixed points come first: the new one goes behind the last of them, which moves only
        // inside points, whose numbers are made anew below.
        const int id = int(w.fixed);
        w.points.insert(w.points.begin() + id, middleOf(w, s));
        w.pieceOf.insert(w.pieceOf.begin() + id, w.pieceOf[size_t(s.first)]);
        ++w.fixed;
        sides.push_back({s.first, id});
        sides.push_back({id, s.second});
        split = true;
    }
    if (!split) return false;
    w.sides = sides;
    // Rebuild the searches, and drop the inside points that now encroach.
    w.sideMiddles.cells.assign(w.sideMiddles.cells.size(), {});
    for (size_t s = 0; s < w.sides.size(); ++s)
        addToCells(w.sideMiddles, middleOf(w, w.sides[s]), int(s));
    std::vector<Vec2> points(w.points.begin(), w.points.begin() + long(w.fixed));
    std::vector<int> pieces(w.pieceOf.begin(), w.pieceOf.begin() + long(w.fixed));
    for (size_t i = w.fixed; i < w.points.size(); ++i) {
        if (encroaches(w, w.points[i])) continue;
        points.push_back(w.points[i]);
        pieces.push_back(w.pieceOf[i]);
    }
    w.points = points;
    w.pieceOf = pieces;
    w.near.cells.assign(w.near.cells.size(), {});
    for (size_t i = 0; i < w.points.size(); ++i) addToCells(w.near, w.points[i], int(i));
    return true;
}

// One round of the bar forces: every edge shorter than the size field asks pushes its ends
// apart; the outline's points stay where they are.
void smooth(Work& w, const std::set<std::pair<int, int>>& edges, const DistanceField& field,
            const Grid<int32_t>& piece, const Grid<float>& size) {
    std::vector<double> lengths, wanted;
    lengths.reserve(edges.size());
    wanted.reserve(edges.size());
    double sumL = 0.0, sumH = 0.0;
    for (const auto& [a, b] : edges) {
        const Vec2 pa = w.points[size_t(a)], pb = w.points[size_t(b)];
        const double l = length(pa - pb);
        const double h = sampleSize(size, (pa + pb) * 0.5);
        lengths.push_back(l);
        wanted.push_back(h);
        sumL += l * l;
        sumH += h * h;
    }
    if (!(sumH > 0.0)) return;
    const double scale = 1.2 * std::sqrt(sumL / sumH);
    std::vector<Vec2> force(w.points.size(), Vec2{0.0, 0.0});
    size_t e = 0;
    for (const auto& [a, b] : edges) {
        const double l = lengths[e], target = wanted[e] * scale;
        ++e;
        if (!(l > 0.0) || l >= target) continue;
        const Vec2 push = (w.points[size_t(a)] - w.points[size_t(b)]) * ((target - l) / l);
        force[size_t(a)] = force[size_t(a)] + push;
        force[size_t(b)] = force[size_t(b)] - push;
    }
    for (size_t i = w.fixed; i < w.points.size(); ++i) {
        const Vec2 from = w.points[i];
        const Vec2 to = from + force[i] * 0.2;
        const double h = sampleSize(size, to);
        if (sampleField(field, to) > 0.5 - 0.4 * h || pieceAt(piece, to) != w.pieceOf[i] ||
            encroaches(w, to) || !clearOfPoints(w, to, 0.3 * h, int(i))) {
            continue;
        }
        removeFromCells(w.near, from, int(i));
        w.points[i] = to;
        addToCells(w.near, to, int(i));
    }
}

}  // namespace

FigureMesh meshFigure(const DistanceField& field, const Grid<int32_t>& piece,
                      const MeshSettings& settings) {
    FigureMesh mesh;
    const Grid<uint8_t> region = regionWithin(field, settings.band.grow);
    Grid<float> size = sizeField(region, {settings.spacing, settings.smallest, grading});
    std::vector<Outline> outlines = traceOutlines(field, piece, size, settings.band);
    // Where the outline turns too sharply for its sides to be as long as the field asks, the
    // field follows the sides, and the outline is traced again so that it grades into them.
    std::vector<std::pair<Vec2, float>> limits;
    for (const Outline& o : outlines) {
        const size_t n = o.points.size();
        for (size_t i = 0; i < n; ++i) {
            const Vec2 p = o.points[i];
            const double before = length(p - o.points[(i + n - 1) % n]);
            const double after = length(o.points[(i + 1) % n] - p);
            limits.push_back({p, float(std::max(1.0, std::min(before, after)))});
        }
    }
    limitSizes(size, limits, grading);
    outlines = traceOutlines(field, piece, size, settings.band);
    if (outlines.empty()) return mesh;

    double minX = 1e30, minY = 1e30, maxX = -1e30, maxY = -1e30;
    for (const Outline& o : outlines)
        for (const Vec2& p : o.points) {
            minX = std::min(minX, p.x);
            maxX = std::max(maxX, p.x);
            minY = std::min(minY, p.y);
            maxY = std::max(maxY, p.y);
        }
    Work w;
    w.near = makeCells(minX - 1, minY - 1, maxX + 1, maxY + 1, settings.spacing * 0.5);
    w.sideMiddles = w.near;
    for (const Outline& o : outlines) {
        const int first = int(w.points.size());
        const int n = int(o.points.size());
        for (int i = 0; i < n; ++i) {
            w.points.push_back(o.points[size_t(i)]);
            w.pieceOf.push_back(o.piece);
            w.sides.push_back({first + i, first + (i + 1) % n});
        }
    }
    w.fixed = w.points.size();
    for (size_t i = 0; i < w.points.size(); ++i) addToCells(w.near, w.points[i], int(i));
    for (size_t s = 0; s < w.sides.size(); ++s) {
        const auto& side = w.sides[s];
        w.longestSide = std::max(
            w.longestSide, length(w.points[size_t(side.first)] - w.points[size_t(side.second)]));
        addToCells(w.sideMiddles, middleOf(w, w.sides[s]), int(s));
    }
    const PolygonSet polygons = makePolygonSet(outlines);
    placeInside(w, field, piece, size, settings, minX, minY, maxX, maxY);

    std::vector<std::array<int, 3>> triangles;
    for (int round = 0; round <= settings.smoothingRounds; ++round) {
        triangles = keptTriangles(w, polygons);
        const std::set<std::pair<int, int>> edges = edgesOf(triangles);
        if (round < settings.smoothingRounds / 2 && splitLostSides(w, edges)) continue;
        if (round == settings.smoothingRounds) break;
        smooth(w, edges, field, piece, size);
    }
    for (int extra = 0; extra < 4 && splitLostSides(w, edgesOf(triangles)); ++extra)
        triangles = keptTriangles(w, polygons);

    std::vector<int> index(w.points.size(), -1);
    for (const auto& t : triangles) {
        std::array<int, 3> face{};
        for (int k = 0; k < 3; ++k) {
            int& i = index[size_t(t[size_t(k)])];
            if (i < 0) {
                i = int(mesh.vertices.size());
                mesh.vertices.push_back(w.points[size_t(t[size_t(k)])]);
            }
            face[size_t(k)] = i;
        }
        mesh.faces.push_back(face);
    }
    sortVerticesInReadingOrder(mesh);
    return mesh;
}
