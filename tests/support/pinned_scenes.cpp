#include "pinned_scenes.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>

#include "deform/bone_binding.h"

namespace {

// The masks' picture: under the start camera a mesh across it covers about as much of the
// window as a show's figure does.
constexpr int32_t pictureWidth = 640;
constexpr int32_t pictureHeight = 400;

// Each slot's rows start this many seconds after the last slot's, one row every rowStep.
constexpr double slotSeconds = 10.0;
constexpr double rowStep = 0.2;
constexpr int rowsPerSlot = 12;

using MaskValue = std::function<int(int x, int y)>;

ImagePtr paintMask(const MaskValue& value) {
    ImagePtr mask(createImage(1, pictureWidth, pictureHeight));
    for (int y = 0; y < pictureHeight; ++y) {
        for (int x = 0; x < pictureWidth; ++x) {
            const int v = value(x, y);
            mask->rows[y][x] = static_cast<unsigned char>(v < 0 ? 0 : v > 255 ? 255 : v);
        }
    }
    return mask;
}

// A grid of columns x rows vertices across `left`..`right` and `top`..`bottom` of the picture,
// at the depth `depth` gives; the rest centroid and the mean depth as the loader leaves them.
void layGrid(Scene& scene, int columns, int rows, float left, float right, float top, float bottom,
             const std::function<float(float, float)>& depth) {
    std::vector<MeshVertex>& vertices = scene.mesh.vertices;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            MeshVertex v{};
            const float x = left + (right - left) * float(c) / float(columns - 1);
            const float y = top + (bottom - top) * float(r) / float(rows - 1);
            v.restPos = Vec3f{x, y, depth(x, y)};
            vertices.push_back(v);
        }
    }
}

// The loader's mirrored slot: every vertex again behind the picture, at the opposite depth.
void appendMirror(Scene& scene) {
    const size_t count = scene.mesh.vertices.size();
    for (size_t i = 0; i < count; ++i) {
        MeshVertex v{};
        const Vec3f& p = scene.mesh.vertices[i].restPos;
        v.restPos = Vec3f{p.x, p.y, -p.z};
        scene.mesh.vertices.push_back(v);
    }
}

void finishScene(Scene& scene) {
    std::vector<MeshVertex>& vertices = scene.mesh.vertices;
    Vec3f sum{0.0f, 0.0f, 0.0f};
    float depthSum = 0.0f;
    for (MeshVertex& v : vertices) {
        v.pos = v.restPos;
        sum.x += v.restPos.x;
        sum.y += v.restPos.y;
        sum.z += v.restPos.z;
        depthSum += v.pos.z;
    }
    const float n = float(vertices.size());
    scene.mesh.centre.restPos = Vec3f{sum.x / n, sum.y / n, sum.z / n};
    scene.mesh.meanDepth = depthSum / n;
    scene.boneCount = uint32_t(scene.boneMasks.size());
    bindBones(scene);
}

// A script row on `vertex`, its target `offset` away from the vertex's rest place.
void addRow(DriverState& state, int32_t slot, int32_t vertex, int row, const Vec3f& offset) {
    const Vec3f& rest = state.scenes[size_t(slot)].mesh.vertices[size_t(vertex)].restPos;
    Keyframe k{};
    k.time = float(slotSeconds * slot + rowStep * row);
    k.scene = slot;
    k.vertex = vertex;
    k.x = rest.x + offset.x;
    k.y = rest.y + offset.y;
    k.z = rest.z + offset.z;
    state.keyframes.push_back(k);
}

// Eight bones over a grid large enough to be shared between threads, each reaching half a cell
// into its neighbours with a gradient of its own; the handle goes from corner to corner, then
// to the middle.
void eightBones(DriverState& state, int32_t slot) {
    Scene& scene = state.scenes[size_t(slot)];
    layGrid(scene, 40, 26, 0.0f, 639.0f, 0.0f, 399.0f, [](float, float) { return 0.0f; });
    const int cellW = pictureWidth / 4;
    const int cellH = pictureHeight / 2;
    for (int bone = 0; bone < 8; ++bone) {
        const int left = (bone % 4) * cellW - cellW / 2;
        const int right = (bone % 4 + 1) * cellW + cellW / 2;
        const int top = (bone / 4) * cellH - cellH / 2;
        const int bottom = (bone / 4 + 1) * cellH + cellH / 2;
        scene.boneMasks.push_back(paintMask([=](int x, int y) {
            if (x < left || x >= right || y < top || y >= bottom) return 0;
            return bone % 2 == 0 ? 40 + (x - left) * 215 / (right - left)
                                 : 255 - (y - top) * 200 / (bottom - top);
        }));
    }
    finishScene(scene);
    for (int r = 0; r < rowsPerSlot; ++r) {
        const float k = float(r);
        const int32_t vertex = r < 5 ? 0 : r < 9 ? 1039 : 520;
        addRow(state, slot, vertex, r,
               Vec3f{-60.0f - 20.0f * k, 30.0f - 10.0f * k, 25.0f + 5.0f * k});
    }
}

// A mirrored slot in relief, so that no bone is flat, under three round bones that overlap;
// the handle goes from a vertex in front to one behind.
void mirroredRelief(DriverState& state, int32_t slot) {
    Scene& scene = state.scenes[size_t(slot)];
    // Sums and products alone: a library's sine might round otherwise on another machine.
    layGrid(scene, 16, 10, 40.0f, 600.0f, 40.0f, 360.0f, [](float x, float y) {
        const float u = (x - 320.0f) / 280.0f;
        const float v = (y - 200.0f) / 160.0f;
        return 40.0f * u * (1.0f - v * v) + 10.0f;
    });
    appendMirror(scene);
    for (const int cx : {160, 320, 480}) {
        scene.boneMasks.push_back(paintMask([=](int x, int y) {
            const double d = std::sqrt(double((x - cx) * (x - cx) + (y - 200) * (y - 200)));
            return d > 220.0 ? 0 : 255 - int(d);
        }));
    }
    finishScene(scene);
    for (int r = 0; r < rowsPerSlot; ++r) {
        const float k = float(r);
        addRow(state, slot, r < 6 ? 5 : 160 + 40, r, Vec3f{15.0f * k, -12.0f * k, -8.0f * k});
    }
}

// Bones that cannot turn (one on a single line of vertices, one with a single member), bones
// with no members (no mask, a black mask), one even weight over everything, and two handles
// pinned where a right-button drag would leave them.
void pinsAndDegenerateBones(DriverState& state, int32_t slot) {
    Scene& scene = state.scenes[size_t(slot)];
    layGrid(scene, 20, 12, 0.0f, 639.0f, 0.0f, 399.0f, [](float, float) { return 0.0f; });
    const std::vector<MeshVertex>& vertices = scene.mesh.vertices;
    const int lineY = int(vertices[5 * 20].restPos.y);
    const int pointX = int(vertices[7].restPos.x);
    const int pointY = int(vertices[7].restPos.y);
    scene.boneMasks.push_back(paintMask([](int, int) { return 128; }));
    scene.boneMasks.push_back(paintMask([=](int, int y) { return y == lineY ? 200 : 0; }));
    scene.boneMasks.push_back(
        paintMask([=](int x, int y) { return x == pointX && y == pointY ? 90 : 0; }));
    scene.boneMasks.emplace_back();
    scene.boneMasks.push_back(paintMask([](int, int) { return 0; }));
    scene.boneMasks.push_back(paintMask([](int x, int) { return x < 320 ? 60 + x / 2 : 0; }));
    finishScene(scene);
    std::vector<MeshVertex>& pinned = scene.mesh.vertices;
    pinned[0].isHandle = 1;
    pinned[0].pos = Vec3f{-30.0f, -30.0f, 40.0f};
    MeshVertex& last = pinned.back();
    last.isHandle = 1;
    last.pos = Vec3f{last.restPos.x + 25.0f, last.restPos.y + 15.0f, -20.0f};
    for (int r = 0; r < rowsPerSlot; ++r) {
        const float k = float(r);
        addRow(state, slot, r < 7 ? 110 : 130, r, Vec3f{10.0f * k, 20.0f * k, 4.0f * k});
    }
}

// One bone over a tilted grid, its handle flung round in widening turns far out of the view, so
// that the window test holds back the vertices whose goals leave it on every side.
void pulledOutOfView(DriverState& state, int32_t slot) {
    Scene& scene = state.scenes[size_t(slot)];
    layGrid(scene, 24, 16, 0.0f, 639.0f, 0.0f, 399.0f, [](float x, float) { return 0.05f * x; });
    scene.boneMasks.push_back(paintMask([](int, int y) { return 30 + y * 225 / pictureHeight; }));
    finishScene(scene);
    // Each row turns the pull on by the angle whose cosine is 3/5, in products alone.
    Vec3f turn{1.0f, 0.0f, 0.0f};
    for (int r = 0; r < rowsPerSlot; ++r) {
        const float reach = 200.0f + 60.0f * float(r);
        addRow(state, slot, 8 * 24 + 12, r, Vec3f{reach * turn.x, reach * turn.y, 40.0f * turn.y});
        turn = Vec3f{0.6f * turn.x - 0.8f * turn.y, 0.8f * turn.x + 0.6f * turn.y, 0.0f};
    }
}

uint32_t hashWords(const PinnedWords& words) {
    uint32_t hash = 0x811c9dc5u;
    for (const uint32_t word : words) {
        for (int b = 0; b < 4; ++b) hash = (hash ^ ((word >> (8 * b)) & 0xffu)) * 0x01000193u;
    }
    return hash;
}

const char* const wordNames[pinnedWordCount] = {
    "weightSum",    "weight",       "pos.x",        "pos.y",       "pos.z",
    "restOffset.x", "restOffset.y", "restOffset.z", "goalSum.x",   "goalSum.y",
    "goalSum.z",    "curOffset.x",  "curOffset.y",  "curOffset.z",
};

std::string wordText(uint32_t word) {
    float value;
    std::memcpy(&value, &word, sizeof value);
    char text[48];
    std::snprintf(text, sizeof text, "%.9g (0x%08" PRIx32 ")", double(value), word);
    return text;
}

// The first word that differs, as "FIELD is GOT, pinned WANT"; empty when none does.
std::string wordDifference(const PinnedWords& got, const PinnedWords& want) {
    for (int w = 0; w < pinnedWordCount; ++w) {
        if (got[size_t(w)] == want[size_t(w)]) continue;
        return std::string(wordNames[w]) + " is " + wordText(got[size_t(w)]) + ", pinned " +
               wordText(want[size_t(w)]);
    }
    return "";
}

bool sampled(size_t vertex, size_t count) {
    return vertex % 16 == 0 || vertex < 4 || vertex + 4 >= count;
}

// One slot's entry: the hashes eight a line, then the sampled vertices' words.
std::string resultText(int32_t slot, const Scene& scene) {
    const std::vector<MeshVertex>& vertices = scene.mesh.vertices;
    std::string text = "// slot " + std::to_string(slot) + ": " + pinnedSceneName(slot) + "\n{" +
                       std::to_string(slot) + ",\n {";
    char word[16];
    for (size_t i = 0; i < vertices.size(); ++i) {
        std::snprintf(word, sizeof word, "0x%08" PRIx32 "u,", hashWords(pinnedWords(vertices[i])));
        text += std::string(i % 8 == 0 ? "\n  " : " ") + word;
    }
    text += "\n },\n {";
    for (size_t i = 0; i < vertices.size(); ++i) {
        if (!sampled(i, vertices.size())) continue;
        text += "\n  {" + std::to_string(i) + ", {";
        const PinnedWords words = pinnedWords(vertices[i]);
        for (int w = 0; w < pinnedWordCount; ++w) {
            std::snprintf(word, sizeof word, "0x%08" PRIx32 "u", words[size_t(w)]);
            text += std::string(w == 0 ? "" : w % 7 == 0 ? ",\n    " : ", ") + word;
        }
        text += "}},";
    }
    text += "\n }},\n";
    return text;
}

}  // namespace

const char* pinnedSceneName(int32_t slot) {
    switch (slot) {
        case 1:
            return "eight bones over a grid shared between threads";
        case 2:
            return "a mirrored slot in relief under three round bones";
        case 3:
            return "bones that cannot turn or have no members, and pinned handles";
        case 4:
            return "one bone pulled out of the view";
        default:
            return "no pinned scene";
    }
}

void loadPinnedScenes(DriverState& state) {
    state.keyframes.clear();
    eightBones(state, 1);
    mirroredRelief(state, 2);
    pinsAndDegenerateBones(state, 3);
    pulledOutOfView(state, 4);
    state.keyframeCount = int32_t(state.keyframes.size());
}

double pinnedSlotStart(const DriverState& state, int32_t slot) {
    for (const Keyframe& row : state.keyframes) {
        if (row.scene == slot) return double(row.time);
    }
    return -1.0;
}

PinnedWords pinnedWords(const MeshVertex& v) {
    const float values[pinnedWordCount] = {
        v.weightSum,    v.weight,       v.pos.x,        v.pos.y,       v.pos.z,
        v.restOffset.x, v.restOffset.y, v.restOffset.z, v.goalSum.x,   v.goalSum.y,
        v.goalSum.z,    v.curOffset.x,  v.curOffset.y,  v.curOffset.z,
    };
    PinnedWords words{};
    for (int w = 0; w < pinnedWordCount; ++w) std::memcpy(&words[size_t(w)], &values[w], 4);
    return words;
}

const std::vector<PinnedResult>& pinnedResults() {
    static const std::vector<PinnedResult> results = {
#include "pinned_results.inc"
    };
    return results;
}

std::string firstPinDifference(const Scene& scene, const PinnedResult& pinned) {
    const std::vector<MeshVertex>& vertices = scene.mesh.vertices;
    const std::string where =
        "slot " + std::to_string(pinned.slot) + " (" + pinnedSceneName(pinned.slot) + ")";
    if (vertices.size() != pinned.vertexHashes.size()) {
        return where + ": " + std::to_string(vertices.size()) + " vertices, pinned " +
               std::to_string(pinned.vertexHashes.size());
    }
    // The first sampled vertex that differs, with both values.
    std::string sample;
    for (const PinnedSample& s : pinned.samples) {
        const std::string difference =
            wordDifference(pinnedWords(vertices[size_t(s.vertex)]), s.words);
        if (difference.empty()) continue;
        sample = "vertex " + std::to_string(s.vertex) + ": " + difference;
        break;
    }
    for (size_t i = 0; i < vertices.size(); ++i) {
        const PinnedWords words = pinnedWords(vertices[i]);
        if (hashWords(words) == pinned.vertexHashes[i]) continue;
        std::string text = where + ": vertex " + std::to_string(i) + " is the first to differ";
        for (const PinnedSample& s : pinned.samples) {
            if (size_t(s.vertex) == i) return text + ": " + wordDifference(words, s.words);
        }
        text += " (its values are not pinned, only their hash; it holds";
        for (int w = 0; w < pinnedWordCount; ++w) {
            text +=
                std::string(w == 0 ? " " : ", ") + wordNames[w] + " " + wordText(words[size_t(w)]);
        }
        text += ")";
        if (!sample.empty()) text += "; the first pinned values that differ: " + sample;
        return text;
    }
    return sample.empty() ? "" : where + ": " + sample;
}

std::string pinnedResultsText(const DriverState& state) {
    std::string text =
        "// The solve's results on the pinned scenes (pinned_scenes.h), written by SolveResults\n"
        "// with KELVARO_WRITE_PINS: a hash of every vertex's fields, and the fields themselves\n"
        "// of every sixteenth vertex and the four at either end.\n";
    for (int32_t slot = pinnedSlotFirst; slot <= pinnedSlotLast; ++slot) {
        text += resultText(slot, state.scenes[size_t(slot)]);
    }
    return text;
}
