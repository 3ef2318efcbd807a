#include "figure/rig_report.h"

#include <cstdio>

namespace {

std::string pointText(Vec2 p) {
    char text[48];
    std::snprintf(text, sizeof text, "(%.0f, %.0f)", p.x, p.y);
    return text;
}

std::string listText(const std::vector<std::string>& items) {
    std::string text;
    for (size_t k = 0; k < items.size(); ++k) {
        if (k > 0) text += k + 1 == items.size() ? " and " : ", ";
        text += items[k];
    }
    return text;
}

std::string partText(const LaidBone& b) {
    if (b.parts == 2) return b.part == 0 ? " (upper)" : " (lower)";
    if (b.parts > 2)
        return " (part " + std::to_string(b.part + 1) + " of " + std::to_string(b.parts) + ")";
    return "";
}

}  // namespace

std::vector<Vec2> bonePlaces(const RigLayout& layout, const Skeleton& skeleton,
                             const FigureMesh& mesh, const BoneWeights& weights) {
    std::vector<Vec2> places(layout.bones.size(), Vec2{0.0, 0.0});
    std::vector<double> count(layout.bones.size(), 0.0);
    for (size_t v = 0; v < weights.region.size(); ++v) {
        const size_t b = size_t(weights.region[v]);
        if (b >= places.size()) continue;
        places[b] = places[b] + mesh.vertices[v];
        count[b] += 1.0;
    }
    for (size_t b = 0; b < places.size(); ++b) {
        if (layout.bones[b].place >= 0)
            places[b] = skeleton.points[size_t(layout.bones[b].place)].at;
        else if (count[b] > 0.0)
            places[b] = places[b] * (1.0 / count[b]);
    }
    return places;
}

std::vector<std::string> rigReport(const RigLayout& layout, const Skeleton& skeleton,
                                   const FigureMesh& mesh, const BoneWeights& weights,
                                   const std::function<Vec2(Vec2)>& toDrawing, int slotBones) {
    std::vector<std::string> lines;
    const std::vector<Vec2> places = bonePlaces(layout, skeleton, mesh, weights);
    int trees = 0;
    for (const LaidBone& b : layout.bones) trees += b.kind == LaidBone::Kind::Trunk && b.part == 0;
    const auto branchPlace = [&](int b) {
        return pointText(toDrawing(skeleton.points[size_t(layout.branches[size_t(b)].tip)].at));
    };
    int piece = 0;
    for (size_t k = 0; k < layout.bones.size(); ++k) {
        const LaidBone& b = layout.bones[k];
        std::string what;
        switch (b.kind) {
            case LaidBone::Kind::Trunk:
                what = "trunk";
                if (b.part == 0) ++piece;
                if (trees > 1) what += " of piece " + std::to_string(piece);
                if (b.part > 0) what += " (part " + std::to_string(b.part + 1) + ")";
                break;
            case LaidBone::Kind::Branch: {
                const SkeletonBranch& br = layout.branches[size_t(b.branch)];
                if (br.shares.empty()) {
                    what = "branch " + std::to_string(b.branch + 1) + partText(b) + ", tip at " +
                           branchPlace(b.branch);
                } else {
                    std::vector<std::string> names{std::to_string(b.branch + 1)};
                    for (int s : br.shares) names.push_back(std::to_string(s + 1));
                    what = "branches " + listText(names);
                }
                break;
            }
            case LaidBone::Kind::Extra:
                what =
                    b.from >= 0 ? "more of bone " + std::to_string(b.from) : "a piece of its own";
                break;
        }
        lines.push_back("bone " + std::to_string(k) + ": " + what + ", around " +
                        pointText(toDrawing(places[k])));
    }

    // The count that would give every branch a bone of its own.
    int wanted = trees + int(layout.branches.size());
    for (const LaidBone& b : layout.bones) wanted += b.kind == LaidBone::Kind::Extra && b.from < 0;
    const std::string more =
        slotBones > 0 && wanted > slotBones
            ? "the slot reads only " + std::to_string(slotBones) + " bones"
            : "--bones " + std::to_string(wanted) + " would give each branch its own";
    for (size_t k = 0; k < layout.branches.size(); ++k) {
        const SkeletonBranch& br = layout.branches[k];
        if (br.bone >= 0 && layout.bones[size_t(br.bone)].kind == LaidBone::Kind::Trunk) {
            lines.push_back("warning: branch " + std::to_string(k + 1) + ", tip at " +
                            branchPlace(int(k)) +
                            ", has no bone of its own and moves with the "
                            "trunk (bone " +
                            std::to_string(br.bone) + "): " + more);
        } else if (!br.shares.empty()) {
            std::vector<std::string> names{std::to_string(k + 1)};
            std::vector<std::string> tips{branchPlace(int(k))};
            for (int s : br.shares) {
                names.push_back(std::to_string(s + 1));
                tips.push_back(branchPlace(s));
            }
            lines.push_back("warning: branches " + listText(names) + " (tips at " + listText(tips) +
                            ") share bone " + std::to_string(br.bone) +
                            ", so they move together: " + more);
        }
    }
    return lines;
}
