#include "figure/bone_check.h"

#include <cmath>
#include <cstring>
#include <set>

#include "deform/shape_matching.h"
#include "figure/bone_regions.h"
#include "scene/image.h"
#include "scene/records.h"

namespace {

std::string at(const FigureMesh& mesh, int v) {
    char text[64];
    std::snprintf(text, sizeof text, "(%.0f, %.0f)", mesh.vertices[size_t(v)].x,
                  mesh.vertices[size_t(v)].y);
    return text;
}

}  // namespace

BoneMembership bindFigureBones(const FigureMesh& mesh, const std::vector<Grid<uint8_t>>& masks) {
    std::vector<MeshVertex> vertices(mesh.vertices.size());
    for (size_t i = 0; i < vertices.size(); ++i) {
        vertices[i] = MeshVertex{};
        vertices[i].restPos = {storedCoordinate(mesh.vertices[i].x),
                               storedCoordinate(mesh.vertices[i].y), 0.0f};
        vertices[i].pos = vertices[i].restPos;
    }
    BoneMembership membership;
    for (const Grid<uint8_t>& mask : masks) {
        ImagePtr image(createImage(1, mask.width, mask.height));
        if (!image) return membership;
        std::memcpy(image->pixels, mask.cells.data(), mask.cells.size());
        std::vector<int32_t> members;
        collectBoneVertices(vertices, *image, members);
        std::vector<int> values;
        for (int32_t v : members) values.push_back(maskWeight(vertices[size_t(v)], *image));
        membership.members.push_back(members);
        membership.values.push_back(values);
    }
    return membership;
}

bool checkBones(const FigureMesh& mesh, const std::vector<Grid<uint8_t>>& masks,
                std::string& problem, const std::vector<int>& region,
                const std::vector<int>& part) {
    const BoneMembership bound = bindFigureBones(mesh, masks);
    if (bound.members.size() != masks.size()) {
        problem = "out of memory while checking the bones";
        return false;
    }
    const size_t n = mesh.vertices.size();
    std::vector<char> weighs(n, 0);
    const MeshGraph graph = graphOf(mesh);
    for (size_t b = 0; b < masks.size(); ++b) {
        const auto& members = bound.members[b];
        const std::string bone = "bone " + std::to_string(b);
        std::vector<int> weighted;
        for (size_t k = 0; k < members.size(); ++k)
            if (bound.values[b][k] > 0) {
                weighs[size_t(members[k])] = 1;
                weighted.push_back(members[k]);
            }
        // Three members that span a triangle.
        bool spread = false;
        for (size_t k = 2; k < weighted.size() && !spread; ++k) {
            const Vec2 a = mesh.vertices[size_t(weighted[0])];
            const Vec2 c = mesh.vertices[size_t(weighted[k])];
            for (size_t j = 1; j < k && !spread; ++j)
                spread = std::fabs(twiceArea(a, mesh.vertices[size_t(weighted[j])], c)) > 1e-3;
        }
        if (!spread) {
            problem = bone + " has " + std::to_string(weighted.size()) +
                      " members with weight, and no three of them off one line";
            return false;
        }
        // Members that weigh nothing take no part in the bone's fit. The others hang together,
        // or, where the bone is meant to lie in parts (branches that share it, a floor bound to
        // the trunk), in no more groups than it has parts, each with some of the bone's own.
        std::vector<char> in(n, 0);
        for (int v : weighted) in[size_t(v)] = 1;
        std::vector<char> reached(n, 0);
        // The ground (its vertices are marked 0) may lie in any number of pieces between the feet.
        std::set<int> parts;
        if (!part.empty())
            for (size_t v = 0; v < n; ++v)
                if (region[v] == int(b) && part[v] != 0) parts.insert(part[v]);
        const size_t allowed = std::max<size_t>(1, parts.size());
        size_t groups = 0;
        for (int first : weighted) {
            if (reached[size_t(first)] != 0) continue;
            std::vector<int> stack{first};
            reached[size_t(first)] = 1;
            bool own = part.empty(), grounded = false;
            while (!stack.empty()) {
                const int v = stack.back();
                stack.pop_back();
                if (!part.empty() && region[size_t(v)] == int(b)) {
                    own = own || part[size_t(v)] != 0;
                    grounded = grounded || part[size_t(v)] == 0;
                }
                for (const auto& [u, l] : graph.neighbours[size_t(v)])
                    if (in[size_t(u)] != 0 && reached[size_t(u)] == 0) {
                        reached[size_t(u)] = 1;
                        stack.push_back(u);
                    }
            }
            if (!own && grounded) continue;
            if (!own || ++groups > allowed) {
                problem = bone + "'s members fall apart: the vertex at " + at(mesh, first) +
                          " is cut off from the one at " + at(mesh, weighted[0]) +
                          " (parts of the drawing too close together there?)";
                return false;
            }
        }
    }
    for (size_t v = 0; v < n; ++v)
        if (weighs[v] == 0) {
            problem = "the vertex at " + at(mesh, int(v)) +
                      " has weight in no bone (parts of the drawing too close together there?)";
            return false;
        }
    return true;
}
