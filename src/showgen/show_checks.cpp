#include "showgen/show_checks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "figure/start_view.h"
#include "scene/show_facts.h"

namespace {

// Pixels to spare inside the solve's area: at rest, and while the script moves a figure.
constexpr double restMargin = 30.0;
constexpr double motionMargin = 30.0;
constexpr int maskReach = 7;

struct Extent {
    double minX = 1e30, maxX = -1e30, minY = 1e30, maxY = -1e30;
};

}  // namespace

Vec3 meshCentre(const FigureMesh& mesh) {
    const Vec2 c = restCentre(mesh);
    return {c.x, c.y, 0.0};
}

bool checkFigure(const std::string& name, const BuiltFigure& figure) {
    const FigureMesh& mesh = figure.mesh;
    if (mesh.vertices.empty() || mesh.faces.empty()) {
        std::fprintf(stderr, "showgen: %s has an empty mesh\n", name.c_str());
        return false;
    }
    const Vec3 c = meshCentre(mesh);
    const StartView view = startView(c.x, c.y, c.z);
    bool ok = true;
    Extent e;
    size_t outside = 0, boneless = 0;
    for (const Vec2& v : mesh.vertices) {
        const WindowPoint w = projectPoint(view, v.x, v.y, 0.0);
        e.minX = std::min(e.minX, w.x);
        e.maxX = std::max(e.maxX, w.x);
        e.minY = std::min(e.minY, w.y);
        e.maxY = std::max(e.maxY, w.y);
        if (!insideSolveArea(w, restMargin)) ++outside;
        // Membership as the loader decides it: a non-zero mask pixel within 7 pixels.
        const int px = int(v.x), py = int(v.y);
        bool member = false;
        for (const GreyPicture& mask : figure.masks) {
            for (int dy = -maskReach; dy <= maskReach && !member; ++dy)
                for (int dx = -maskReach; dx <= maskReach && !member; ++dx) {
                    const int x = px + dx, y = py + dy;
                    if (x < 0 || y < 0 || x >= mask.width || y >= mask.height) continue;
                    member = mask.pixels[size_t(y) * size_t(mask.width) + size_t(x)] != 0;
                }
            if (member) break;
        }
        if (!member) ++boneless;
    }
    std::fprintf(stderr,
                 "showgen: %s: %zu vertices, %zu faces, %zu bones; on screen x %.0f..%.0f, "
                 "y %.0f..%.0f from the bottom\n",
                 name.c_str(), mesh.vertices.size(), mesh.faces.size(), figure.masks.size(), e.minX,
                 e.maxX, e.minY, e.maxY);
    if (outside != 0) {
        std::fprintf(stderr, "showgen: %s: %zu vertices outside the view\n", name.c_str(), outside);
        ok = false;
    }
    if (boneless != 0) {
        std::fprintf(stderr, "showgen: %s: %zu vertices in no bone\n", name.c_str(), boneless);
        ok = false;
    }
    return ok;
}

bool checkScript(const std::vector<ScriptRow>& rows, const std::vector<SlotFigure>& figures) {
    bool ok = true;
    double worst = 1e30;
    double worstTime = 0.0;
    for (size_t i = 0; i < rows.size(); ++i) {
        const ScriptRow& r = rows[i];
        if (i > 0 && r.time < rows[i - 1].time) {
            std::fprintf(stderr, "showgen: script row %zu goes back in time\n", i);
            ok = false;
        }
        const SlotFigure* figure = nullptr;
        for (const SlotFigure& f : figures)
            if (f.slot == r.slot) figure = &f;
        if (figure == nullptr || r.vertex < 0 ||
            size_t(r.vertex) >= figure->mesh->vertices.size()) {
            std::fprintf(stderr, "showgen: script row %zu names no vertex\n", i);
            ok = false;
            continue;
        }
        // The figure follows its handle only in part; the end-to-end test watches the real
        // thing, while here the targets themselves must stay well inside the view.
        const FigureMesh& mesh = *figure->mesh;
        const Vec3 c = meshCentre(mesh);
        const StartView view = startView(c.x, c.y, c.z);
        const WindowPoint w = projectPoint(view, r.x, r.y, r.z);
        const double sx = w.x / w.depth, sy = w.y / w.depth;
        const double room =
            std::min({sx, double(windowWidth) - sx, sy - 50.0, double(windowHeight) - sy});
        if (room < worst) {
            worst = room;
            worstTime = r.time;
        }
    }
    std::fprintf(stderr,
                 "showgen: script keeps its targets %.0f pixels inside the view (closest at "
                 "%.2f s)\n",
                 worst, worstTime);
    if (worst < motionMargin) {
        std::fprintf(stderr, "showgen: the script puts a handle near the edge of the view\n");
        ok = false;
    }
    return ok;
}
