// The figure tool on arbitrary picture bytes: either the drawing is refused with a message, or
// the figure it gives covers the whole silhouette, reaches only a little past it, and binds
// every vertex into a bone by the loader's own rule.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "figure/bone_check.h"
#include "figure/make_figure.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first bytes choose the options, the rest is the picture file.
    fuzz::ByteReader reader(data, size);
    const uint8_t choice = reader.byte();
    FigureRequest request;
    request.bones = 1 + choice % 8;
    request.fillHoles = (choice & 0x10) != 0;
    request.background.alphaThreshold = 1 + reader.byte();
    if ((choice & 0x20) != 0) {
        request.background.keyGiven = true;
        for (uint8_t& c : request.background.key) c = reader.byte();
    }
    request.picture = fuzz::workFolder() + "/drawing.png";
    fuzz::writeBytes(request.picture, reader.rest(), reader.left());

    FigureResult figure;
    std::string error;
    if (!makeFigure(request, figure, error)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    const FigureMesh& mesh = figure.mesh;
    FUZZ_CHECK(!mesh.vertices.empty() && !mesh.faces.empty());
    for (const auto& face : mesh.faces) {
        for (int32_t corner : face)
            FUZZ_CHECK(corner >= 0 && size_t(corner) < mesh.vertices.size());
    }
    FUZZ_CHECK(figure.uncovered == 0);
    FUZZ_CHECK(figure.reach <= 3.0);
    FUZZ_CHECK(int(figure.masks.size()) == request.bones);
    std::string problem;
    FUZZ_CHECK(checkBones(mesh, figure.masks, problem));
    const BoneMembership bones = bindFigureBones(mesh, figure.masks);
    std::vector<bool> inBone(mesh.vertices.size(), false);
    for (const std::vector<int32_t>& members : bones.members) {
        for (int32_t v : members) inBone[size_t(v)] = true;
    }
    for (bool in : inBone) FUZZ_CHECK(in);
    return 0;
}
