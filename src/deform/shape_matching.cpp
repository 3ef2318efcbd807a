#include "deform/shape_matching.h"

#include <cstddef>

#include "deform/matrix_decomposition.h"

namespace {

// Pixel coordinates are the rest position truncated toward zero. Coordinates are kept in
// 64 bits so that the +-7 searches can't overflow; a non-finite or absurdly large rest
// position lies outside every picture.
constexpr float PIXEL_COORDINATE_LIMIT = 1e15f;

inline bool pixelOf(const MeshVertex& vertex, int64_t& x, int64_t& y) {
    const float px = vertex.restPos.x;
    const float py = vertex.restPos.y;
    if (!(px > -PIXEL_COORDINATE_LIMIT && px < PIXEL_COORDINATE_LIMIT &&
          py > -PIXEL_COORDINATE_LIMIT && py < PIXEL_COORDINATE_LIMIT)) {
        return false;
    }
    x = int64_t(px);
    y = int64_t(py);
    return true;
}

// First non-zero pixel of the left-over scan once the vertex's own pixel gave nothing. The
// window of radius r spans -r .. r-1 in both directions and holds every smaller window, whose
// pixels are known to be zero by then, so only the ring that radius r adds is read; scanned
// row by row from the top and left to right, that gives the same first pixel as a scan of
// the whole window.
int searchWindows(const Image& mask, int64_t x, int64_t y) {
    const int64_t width = mask.width;
    const int64_t height = mask.height;
    for (int64_t r = 1; r <= MASK_SEARCH_RADIUS; ++r) {
        const int64_t left = x - r;
        const int64_t right = x + r - 1;
        const int64_t columnFrom = left < 0 ? 0 : left;
        const int64_t columnTo = right >= width ? width - 1 : right;
        if (columnFrom > columnTo) continue;
        const int64_t top = y - r;
        const int64_t bottom = y + r - 1;
        const int64_t rowFrom = top < 0 ? 0 : top;
        const int64_t rowTo = bottom >= height ? height - 1 : bottom;
        for (int64_t row = rowFrom; row <= rowTo; ++row) {
            const unsigned char* pixels = mask.rows[row];
            if (row == top || row == bottom) {
                for (int64_t column = columnFrom; column <= columnTo; ++column) {
                    if (pixels[column] != 0) return pixels[column];
                }
            } else {
                if (left >= 0 && pixels[left] != 0) return pixels[left];
                if (right < width && pixels[right] != 0) return pixels[right];
            }
        }
    }
    return 0;
}

// The common case, a member lying on its own painted pixel, costs one read.
inline int maskValue(const MeshVertex& vertex, const Image& mask) {
    int64_t x;
    int64_t y;
    if (!pixelOf(vertex, x, y)) return 0;
    if (x >= 0 && x < mask.width && y >= 0 && y < mask.height) {
        const unsigned char own = mask.rows[y][x];
        if (own != 0) return own;
    }
    return searchWindows(mask, x, y);
}

bool coveredBySquare(const Image& mask, int64_t x, int64_t y) {
    const int64_t columnFrom = x - MASK_SEARCH_RADIUS < 0 ? 0 : x - MASK_SEARCH_RADIUS;
    const int64_t columnTo =
        x + MASK_SEARCH_RADIUS >= mask.width ? mask.width - 1 : x + MASK_SEARCH_RADIUS;
    const int64_t rowFrom = y - MASK_SEARCH_RADIUS < 0 ? 0 : y - MASK_SEARCH_RADIUS;
    const int64_t rowTo =
        y + MASK_SEARCH_RADIUS >= mask.height ? mask.height - 1 : y + MASK_SEARCH_RADIUS;
    for (int64_t row = rowFrom; row <= rowTo; ++row) {
        const unsigned char* pixels = mask.rows[row];
        for (int64_t column = columnFrom; column <= columnTo; ++column) {
            if (pixels[column] != 0) return true;
        }
    }
    return false;
}

}  // namespace

void collectBoneVertices(const std::vector<MeshVertex>& vertices, const Image& mask,
                         std::vector<int32_t>& members) {
    const int32_t count = int32_t(vertices.size());
    for (int32_t i = 0; i < count; ++i) {
        int64_t x;
        int64_t y;
        if (pixelOf(vertices[size_t(i)], x, y) && coveredBySquare(mask, x, y)) {
            members.push_back(i);
        }
    }
}

bool flatBone(const std::vector<MeshVertex>& vertices, const std::vector<int32_t>& members) {
    if (members.empty()) return false;
    const float depth = vertices[size_t(members[0])].restPos.z;
    for (const int32_t i : members) {
        if (!(vertices[size_t(i)].restPos.z == depth)) return false;
    }
    return true;
}

int maskWeight(const MeshVertex& vertex, const Image& mask) {
    return maskValue(vertex, mask);
}

namespace {

// One bone's step, whatever gives the members' mask values: `valueOf(k, vertex)` is the value
// of member k.
template <typename MaskValueOf>
void matchBone(std::vector<MeshVertex>& vertices, const std::vector<int32_t>& members,
               MaskValueOf valueOf) {
    MeshVertex* const v = vertices.data();
    const int32_t* const begin = members.data();
    const int32_t* const end = begin + members.size();

    // Weights are derived afresh: the driver flips handle flags between frames.
    float total = 0.0f;
    float u0x = 0.0f, u0y = 0.0f, u0z = 0.0f;
    float ux = 0.0f, uy = 0.0f, uz = 0.0f;
    for (const int32_t* it = begin; it != end; ++it) {
        MeshVertex& vertex = v[*it];
        float w = float(valueOf(it - begin, vertex)) * MASK_WEIGHT_SCALE;
        if (vertex.isHandle != 0) w = w * HANDLE_WEIGHT_FACTOR;
        vertex.weight = w;
        if (w > 0.0f) {
            total += w;
            u0x += w * vertex.restPos.x;
            u0y += w * vertex.restPos.y;
            u0z += w * vertex.restPos.z;
            ux += w * vertex.pos.x;
            uy += w * vertex.pos.y;
            uz += w * vertex.pos.z;
        }
    }
    if (!(total > 0.0f)) return;

    const float k = float(1.0 / double(total));
    const float m0x = k * u0x, m0y = k * u0y, m0z = k * u0z;
    const float mx = k * ux, my = k * uy, mz = k * uz;
    const bool flat = flatBone(vertices, members);

    // Covariance of rest offsets (rows) against current offsets (columns): each product is
    // rounded to float before it is summed in double.
    Matrix4 a{};
    for (const int32_t* it = begin; it != end; ++it) {
        MeshVertex& vertex = v[*it];
        const float w = vertex.weight;
        if (!(w > 0.0f)) continue;
        const float qx = vertex.restPos.x - m0x;
        const float qy = vertex.restPos.y - m0y;
        const float qz = flat ? 0.0f : vertex.restPos.z - m0z;
        const float px = vertex.pos.x - mx;
        const float py = vertex.pos.y - my;
        const float pz = vertex.pos.z - mz;
        vertex.restOffset = Vec3f{qx, qy, qz};
        vertex.curOffset = Vec3f{px, py, pz};
        const float wx = qx * w;
        const float wy = qy * w;
        const float wz = qz * w;
        a.m[0][0] += double(wx * px);
        a.m[0][1] += double(wx * py);
        a.m[0][2] += double(wx * pz);
        a.m[1][0] += double(wy * px);
        a.m[1][1] += double(wy * py);
        a.m[1][2] += double(wy * pz);
        a.m[2][0] += double(wz * px);
        a.m[2][1] += double(wz * py);
        a.m[2][2] += double(wz * pz);
    }

    Matrix4 q;
    polarDecompose(a, q);
    Matrix4 r;
    if (invertUnlessReflection(q, r) != 0) {
        const double mdx = mx, mdy = my, mdz = mz;
        for (const int32_t* it = begin; it != end; ++it) {
            MeshVertex& vertex = v[*it];
            const float w = vertex.weight;
            if (!(w > 0.0f)) continue;
            const double qx = vertex.restOffset.x;
            const double qy = vertex.restOffset.y;
            const double qz = vertex.restOffset.z;
            const double gx = r.m[0][0] * qx + r.m[0][1] * qy + r.m[0][2] * qz + mdx;
            const double gy = r.m[1][0] * qx + r.m[1][1] * qy + r.m[1][2] * qz + mdy;
            const double gz = r.m[2][0] * qx + r.m[2][1] * qy + r.m[2][2] * qz + mdz;
            const double wd = w;
            vertex.goalSum.x = float(gx * wd + double(vertex.goalSum.x));
            vertex.goalSum.y = float(gy * wd + double(vertex.goalSum.y));
            vertex.goalSum.z = float(gz * wd + double(vertex.goalSum.z));
            vertex.weightSum += w;
        }
    } else {
        // A reflection is no motion a bone can make: it only pulls its members along.
        for (const int32_t* it = begin; it != end; ++it) {
            MeshVertex& vertex = v[*it];
            const float w = vertex.weight;
            if (!(w > 0.0f)) continue;
            vertex.goalSum.x += (vertex.restOffset.x + mx) * w;
            vertex.goalSum.y += (vertex.restOffset.y + my) * w;
            vertex.goalSum.z += (vertex.restOffset.z + mz) * w;
            vertex.weightSum += w;
        }
    }
}

}  // namespace

void shapeMatchBone(std::vector<MeshVertex>& vertices, const std::vector<int32_t>& members,
                    const Image& mask) {
    matchBone(vertices, members,
              [&mask](ptrdiff_t, const MeshVertex& vertex) { return maskValue(vertex, mask); });
}

void collectMemberMaskValues(const std::vector<MeshVertex>& vertices,
                             const std::vector<int32_t>& members, const Image& mask,
                             std::vector<uint8_t>& values) {
    values.resize(members.size());
    for (size_t k = 0; k < members.size(); ++k) {
        values[k] = uint8_t(maskValue(vertices[size_t(members[k])], mask));
    }
}

void shapeMatchBoneCached(std::vector<MeshVertex>& vertices, const std::vector<int32_t>& members,
                          const std::vector<uint8_t>& values) {
    const uint8_t* const cached = values.data();
    matchBone(vertices, members, [cached](ptrdiff_t k, const MeshVertex&) { return cached[k]; });
}
