#include "merge/rest_rows.h"

#include <cstdio>

#include "scene/keyframe_row.h"
#include "scene/mesh_reader.h"
#include "scene/show_facts.h"

RestPin restPinOf(const Mesh& mesh) {
    RestPin pin;
    double nearest = 0.0;
    for (size_t i = 0; i < mesh.vertices.size(); ++i) {
        const Vec3f& p = mesh.vertices[i].restPos;
        const double dx = double(p.x) - double(mesh.centre.restPos.x);
        const double dy = double(p.y) - double(mesh.centre.restPos.y);
        const double dz = double(p.z) - double(mesh.centre.restPos.z);
        const double distance = dx * dx + dy * dy + dz * dz;
        if (pin.vertex < 0 || distance < nearest) {
            nearest = distance;
            pin = RestPin{int32_t(i), p.x, p.y, p.z};
        }
    }
    return pin;
}

bool readRestPin(const std::string& meshPath, RestPin& pin, std::string& error) {
    Mesh mesh{};
    readMesh(meshPath.c_str(), mesh, false);
    pin = restPinOf(mesh);
    if (pin.vertex < 0) {
        error = meshPath + " holds no vertex";
        return false;
    }
    return true;
}

RowLine restRow(float time, int32_t slot, const RestPin& pin) {
    RowLine line;
    line.row = Keyframe{time, slot, pin.vertex, pin.x, pin.y, pin.z};
    line.text = formatKeyframeRow(double(time), slot, pin.vertex, double(pin.x), double(pin.y),
                                  double(pin.z));
    return line;
}

ClearedRows clearSlotRows(std::vector<RowLine>& script, int32_t slot, const RestPin& pin) {
    ClearedRows cleared;
    std::vector<RowLine> kept;
    kept.reserve(script.size());
    for (size_t i = 0; i < script.size();) {
        if (script[i].row.scene != slot) {
            kept.push_back(std::move(script[i++]));
            continue;
        }
        const size_t runStart = i;
        while (i < script.size() && script[i].row.scene == slot) ++i;
        const float first = script[runStart].row.time, last = script[i - 1].row.time;
        if (cleared.replaced == 0) cleared.first = first;
        cleared.last = last;
        cleared.replaced += i - runStart;
        kept.push_back(restRow(first, slot, pin));
        ++cleared.written;
        if (i - runStart > 1) {
            kept.push_back(restRow(last, slot, pin));
            ++cleared.written;
        }
    }
    script = std::move(kept);
    return cleared;
}

std::string describeClearedRows(const ClearedRows& cleared, int32_t slot) {
    char text[200];
    const char* folder = slot >= 0 && slot < sceneSlotCount ? sceneSlots[slot].directory : "?";
    std::snprintf(text, sizeof text, "the %zu %s of slot %d (%s), %.2f-%.2f s", cleared.replaced,
                  cleared.replaced == 1 ? "row" : "rows", slot, folder, double(cleared.first),
                  double(cleared.last));
    return text;
}
