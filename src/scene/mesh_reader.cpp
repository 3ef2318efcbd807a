#include "scene/mesh_reader.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "scene/text_lines.h"

namespace {

using FileHandle = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

FileHandle openText(const char* path) {
    return FileHandle(std::fopen(path, "r"), &std::fclose);
}

bool isVertexLine(const std::string& line) {
    return line.size() >= 2 && line[0] == 'v' && line[1] == ' ';
}

bool isFaceLine(const std::string& line) {
    return line.size() >= 2 && line[0] == 'f' && line[1] == ' ';
}

// Matches `text` against a formatted-input pattern made of blanks (any run of white space, also
// none), %d, %f and characters that must match themselves, and stops at the first mismatch.
// Returns how many numbers were read. Integers outside the 32-bit range end the match, so that
// no wrapped-around vertex number is ever taken for a good one.
int scanPattern(const char* text, const char* pattern, int32_t* ints, float* floats) {
    int read = 0;
    int intCount = 0;
    int floatCount = 0;
    for (const char* p = pattern; *p != '\0'; ++p) {
        if (*p == ' ') {
            while (std::isspace(static_cast<unsigned char>(*text))) ++text;
        } else if (p[0] == '%' && p[1] == 'd') {
            char* end = nullptr;
            errno = 0;
            const long value = std::strtol(text, &end, 10);
            if (end == text || errno == ERANGE || value < INT32_MIN || value > INT32_MAX) {
                return read;
            }
            ints[intCount++] = int32_t(value);
            text = end;
            ++read;
            ++p;
        } else if (p[0] == '%' && p[1] == 'f') {
            char* end = nullptr;
            const float value = std::strtof(text, &end);
            if (end == text) return read;
            floats[floatCount++] = value;
            text = end;
            ++read;
            ++p;
        } else {
            if (*text != *p) return read;
            ++text;
        }
    }
    return read;
}

struct FacePattern {
    const char* pattern;
    int numbersPerCorner;
};

// The corner notation follows from the slashes on the line.
FacePattern facePatternOf(const std::string& line) {
    if (line.find("//") != std::string::npos) return {"f %d//%d %d//%d %d//%d", 2};
    const auto slashes = std::count(line.begin(), line.end(), '/');
    if (slashes == 3) return {"f %d/%d %d/%d %d/%d", 2};
    if (slashes > 0) return {"f %d/%d/%d %d/%d/%d %d/%d/%d", 3};
    return {"f %d %d %d", 1};
}

}  // namespace

void readMesh(const char* path, Mesh& mesh, bool mirror) {
    FileHandle file = openText(path);
    if (!file) {
        std::fprintf(stderr, "warning: can't open mesh file %s; the mesh stays empty\n", path);
        return;
    }
    std::string line;
    size_t vertexCount = 0;
    size_t faceCount = 0;
    // A carriage return before the line feed is no part of a statement.
    LineRead read;
    while ((read = readTextLine(file.get(), line, true)) == LineRead::line) {
        if (isVertexLine(line)) ++vertexCount;
        if (isFaceLine(line)) ++faceCount;
    }
    if (read == LineRead::error) {
        std::fprintf(stderr, "warning: can't read mesh file %s (%s); the mesh stays empty\n", path,
                     std::strerror(errno));
        return;
    }
    file.reset();
    // An empty or binary file opens and reads fine; without a word the slot would just show no
    // figure.
    if (vertexCount == 0) {
        std::fprintf(stderr, "warning: %s holds no vertex lines; the mesh stays empty\n", path);
    }

    file = openText(path);
    if (!file) {
        std::fprintf(stderr, "warning: can't open mesh file %s; the mesh stays empty\n", path);
        return;
    }
    mesh.vertices.assign(vertexCount, MeshVertex{});
    mesh.faces.assign(faceCount, MeshFace{});
    size_t vertexIndex = 0;
    size_t faceIndex = 0;
    long malformedVertices = 0;
    long missingVertexNumbers = 0;
    long outsideList = 0;
    float sumX = 0.0f;
    float sumY = 0.0f;
    float sumZ = 0.0f;
    while ((read = readTextLine(file.get(), line, true)) == LineRead::line) {
        if (isVertexLine(line)) {
            // The file may have grown since it was counted; the list never does.
            if (vertexIndex >= vertexCount) continue;
            float xyz[3] = {0.0f, 0.0f, 0.0f};
            bool bad = scanPattern(line.c_str(), "v %f %f %f", nullptr, xyz) < 3;
            for (float& value : xyz) {
                if (!std::isfinite(value)) {
                    value = 0.0f;
                    bad = true;
                }
            }
            if (bad) ++malformedVertices;
            const float z = mirror ? -xyz[2] : xyz[2];
            mesh.vertices[vertexIndex].restPos = Vec3f{xyz[0], xyz[1], z};
            sumX += xyz[0];
            sumY += xyz[1];
            sumZ += z;
            ++vertexIndex;
        } else if (isFaceLine(line)) {
            if (faceIndex >= faceCount) continue;
            const FacePattern face = facePatternOf(line);
            int32_t numbers[9] = {};
            const int numbersRead = scanPattern(line.c_str(), face.pattern, numbers, nullptr);
            const int step = face.numbersPerCorner;
            int32_t p = numbers[0];
            const int32_t q = numbers[step];
            int32_t s = numbers[2 * step];
            // Only the vertex numbers make the triangle; texture and normal numbers are read
            // past and may be missing.
            if (numbersRead < 2 * step + 1) {
                ++missingVertexNumbers;
                continue;
            }
            const auto inList = [&](int32_t n) { return n >= 1 && size_t(n) <= vertexCount; };
            if (!inList(p) || !inList(q) || !inList(s)) {
                ++outsideList;
                continue;
            }
            if (mirror) std::swap(p, s);
            mesh.faces[faceIndex].v[0] = p - 1;
            mesh.faces[faceIndex].v[1] = q - 1;
            mesh.faces[faceIndex].v[2] = s - 1;
            ++faceIndex;
        }
    }
    if (read == LineRead::error) {
        std::fprintf(stderr,
                     "warning: can't read mesh file %s to its end (%s); what was read is kept\n",
                     path, std::strerror(errno));
    }
    // Dropped lines leave no gaps: the list only ever shrinks here.
    mesh.faces.resize(faceIndex);

    if (malformedVertices > 0) {
        std::fprintf(stderr,
                     "warning: %s: %ld vertex lines with missing or non-finite numbers; "
                     "those numbers are taken as 0 and the faces through them are kept\n",
                     path, malformedVertices);
    }
    if (missingVertexNumbers > 0) {
        std::fprintf(stderr,
                     "warning: %s: %ld face lines without three vertex numbers; those faces "
                     "are dropped\n",
                     path, missingVertexNumbers);
    }
    if (outsideList > 0) {
        std::fprintf(stderr,
                     "warning: %s: %ld faces name a vertex number outside 1 to %zu; those faces "
                     "are dropped\n",
                     path, outsideList, vertexCount);
    }

    mesh.centre = MeshVertex{};
    if (vertexCount > 0) {
        const float r = 1.0f / float(vertexCount);
        mesh.centre.restPos = Vec3f{sumX * r, sumY * r, sumZ * r};
    }
}
