#include "figure/start_view.h"

#include <cmath>

#include "scene/show_facts.h"

namespace {

constexpr double pi = 3.14159265358979323846;

// Start values of the show's camera.
constexpr float fov = startFov, dx = startDx, dy = startDy, dz = startDz, eye = eyeOffset;
constexpr float ra = startRa, rb = startRb;

// Column-major 4 x 4 matrices, as GL keeps them: element (row, column) at [column * 4 + row].
struct Matrix {
    double m[16];
};

Matrix identity() {
    Matrix r{};
    for (int i = 0; i < 4; ++i) r.m[i * 5] = 1.0;
    return r;
}

Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix r{};
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col) {
            double s = 0.0;
            for (int k = 0; k < 4; ++k) s += a.m[k * 4 + row] * b.m[col * 4 + k];
            r.m[col * 4 + row] = s;
        }
    return r;
}

Matrix translation(double x, double y, double z) {
    Matrix r = identity();
    r.m[12] = x;
    r.m[13] = y;
    r.m[14] = z;
    return r;
}

// glRotate about a unit axis.
Matrix rotation(double degrees, double x, double y, double z) {
    const double a = degrees * pi / 180.0;
    const double c = std::cos(a);
    const double s = std::sin(a);
    Matrix r = identity();
    r.m[0] = x * x * (1 - c) + c;
    r.m[4] = x * y * (1 - c) - z * s;
    r.m[8] = x * z * (1 - c) + y * s;
    r.m[1] = y * x * (1 - c) + z * s;
    r.m[5] = y * y * (1 - c) + c;
    r.m[9] = y * z * (1 - c) - x * s;
    r.m[2] = x * z * (1 - c) - y * s;
    r.m[6] = y * z * (1 - c) + x * s;
    r.m[10] = z * z * (1 - c) + c;
    return r;
}

Matrix perspective(double fovy, double aspect, double zNear, double zFar) {
    const double f = 1.0 / std::tan(fovy * pi / 360.0);
    Matrix r{};
    r.m[0] = f / aspect;
    r.m[5] = f;
    r.m[10] = (zFar + zNear) / (zNear - zFar);
    r.m[11] = -1.0;
    r.m[14] = 2.0 * zFar * zNear / (zNear - zFar);
    return r;
}

void normalise(double v[3]) {
    const double l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (l > 0.0)
        for (int i = 0; i < 3; ++i) v[i] /= l;
}

void cross(const double a[3], const double b[3], double r[3]) {
    r[0] = a[1] * b[2] - a[2] * b[1];
    r[1] = a[2] * b[0] - a[0] * b[2];
    r[2] = a[0] * b[1] - a[1] * b[0];
}

Matrix lookAt(const double e[3], const double c[3], const double up[3]) {
    double f[3] = {c[0] - e[0], c[1] - e[1], c[2] - e[2]};
    normalise(f);
    double s[3];
    cross(f, up, s);
    normalise(s);
    double u[3];
    cross(s, f, u);
    Matrix r = identity();
    r.m[0] = s[0];
    r.m[4] = s[1];
    r.m[8] = s[2];
    r.m[1] = u[0];
    r.m[5] = u[1];
    r.m[9] = u[2];
    r.m[2] = -f[0];
    r.m[6] = -f[1];
    r.m[10] = -f[2];
    return multiply(r, translation(-e[0], -e[1], -e[2]));
}

}  // namespace

StartView startView(double cx, double cy, double cz) {
    const float fx = float(cx), fy = float(cy), fz = float(cz);
    const double eyePoint[3] = {double((fx + eye) + dx), double((fy + eye) + dy),
                                double((fz + eye) + dz)};
    const double centre[3] = {double(fx + dx), double(fy + dy), double(fz + dz)};
    const double up[3] = {0.0, 0.0, 1.0};
    Matrix model = lookAt(eyePoint, centre, up);
    model = multiply(model, translation(fx, fy, fz));
    model = multiply(model, rotation(ra, 0, 0, 1));
    model = multiply(model, rotation(rb, 1, 0, 0));
    model = multiply(model, translation(-fx, -fy, -fz));
    const Matrix proj = perspective(fov, double(float(windowWidth) / float(windowHeight)),
                                    cameraNearPlane, cameraFarPlane);
    StartView view{};
    for (int i = 0; i < 16; ++i) {
        view.modelView[i] = model.m[i];
        view.projection[i] = proj.m[i];
    }
    view.viewport[0] = 0;
    view.viewport[1] = 0;
    view.viewport[2] = windowWidth;
    view.viewport[3] = windowHeight;
    return view;
}

WindowPoint projectPoint(const StartView& view, double x, double y, double z) {
    const double in[4] = {x, y, z, 1.0};
    double eyeSpace[4], clip[4];
    for (int row = 0; row < 4; ++row) {
        eyeSpace[row] = 0.0;
        for (int k = 0; k < 4; ++k) eyeSpace[row] += view.modelView[k * 4 + row] * in[k];
    }
    for (int row = 0; row < 4; ++row) {
        clip[row] = 0.0;
        for (int k = 0; k < 4; ++k) clip[row] += view.projection[k * 4 + row] * eyeSpace[k];
    }
    const double w = clip[3];
    return {view.viewport[0] + (clip[0] / w + 1.0) * 0.5 * view.viewport[2],
            view.viewport[1] + (clip[1] / w + 1.0) * 0.5 * view.viewport[3],
            (clip[2] / w + 1.0) * 0.5};
}

bool insideSolveArea(const WindowPoint& p, double margin) {
    const double sx = p.x / p.depth;
    const double sy = p.y / p.depth;
    return sx > margin && sy > SOLVE_BOTTOM_MARGIN + margin && sx < windowWidth - margin &&
           sy < windowHeight - margin;
}
