// Left-handed row-vector matrix helpers over glm.
#include "platform/gfx/matrix.h"

#include <algorithm>
#include <cmath>

namespace platform::gfx {

Matrix Matrix::Scaling(float x, float y, float z) {
  Matrix m;
  m.at(1, 1) = x;
  m.at(2, 2) = y;
  m.at(3, 3) = z;
  return m;
}

Matrix Matrix::Translation(float x, float y, float z) {
  Matrix m;
  m.at(4, 1) = x;
  m.at(4, 2) = y;
  m.at(4, 3) = z;
  return m;
}

Matrix Matrix::RotationX(float a) {
  Matrix m;
  float c = std::cos(a), s = std::sin(a);
  m.at(2, 2) = c;
  m.at(2, 3) = s;
  m.at(3, 2) = -s;
  m.at(3, 3) = c;
  return m;
}

Matrix Matrix::RotationY(float a) {
  Matrix m;
  float c = std::cos(a), s = std::sin(a);
  m.at(1, 1) = c;
  m.at(1, 3) = -s;
  m.at(3, 1) = s;
  m.at(3, 3) = c;
  return m;
}

Matrix Matrix::RotationZ(float a) {
  Matrix m;
  float c = std::cos(a), s = std::sin(a);
  m.at(1, 1) = c;
  m.at(1, 2) = s;
  m.at(2, 1) = -s;
  m.at(2, 2) = c;
  return m;
}

Matrix Matrix::RotationAxis(const Vec3& axis, float a) {
  Vec3 n = glm::normalize(axis);
  float c = std::cos(a), s = std::sin(a), t = 1.0f - c;
  Matrix m;
  m.at(1, 1) = t * n.x * n.x + c;
  m.at(1, 2) = t * n.x * n.y + s * n.z;
  m.at(1, 3) = t * n.x * n.z - s * n.y;
  m.at(2, 1) = t * n.x * n.y - s * n.z;
  m.at(2, 2) = t * n.y * n.y + c;
  m.at(2, 3) = t * n.y * n.z + s * n.x;
  m.at(3, 1) = t * n.x * n.z + s * n.y;
  m.at(3, 2) = t * n.y * n.z - s * n.x;
  m.at(3, 3) = t * n.z * n.z + c;
  return m;
}

Matrix Matrix::PerspectiveFovLH(float fovY, float aspect, float zn, float zf) {
  float yScale = 1.0f / std::tan(fovY * 0.5f);
  float xScale = yScale / aspect;
  Matrix m;
  m.at(1, 1) = xScale;
  m.at(2, 2) = yScale;
  m.at(3, 3) = zf / (zf - zn);
  m.at(3, 4) = 1.0f;
  m.at(4, 3) = -zn * zf / (zf - zn);
  m.at(4, 4) = 0.0f;
  return m;
}

Matrix Matrix::OrthoOffCenterLH(float l, float r, float b, float t, float zn, float zf) {
  Matrix m;
  m.at(1, 1) = 2.0f / (r - l);
  m.at(2, 2) = 2.0f / (t - b);
  m.at(3, 3) = 1.0f / (zf - zn);
  m.at(4, 1) = (l + r) / (l - r);
  m.at(4, 2) = (t + b) / (b - t);
  m.at(4, 3) = zn / (zn - zf);
  return m;
}

Matrix Matrix::LookAtLH(const Vec3& eye, const Vec3& at, const Vec3& up) {
  Vec3 z = glm::normalize(at - eye);
  Vec3 x = glm::normalize(glm::cross(up, z));
  Vec3 y = glm::cross(z, x);
  Matrix m;
  m.at(1, 1) = x.x; m.at(1, 2) = y.x; m.at(1, 3) = z.x;
  m.at(2, 1) = x.y; m.at(2, 2) = y.y; m.at(2, 3) = z.y;
  m.at(3, 1) = x.z; m.at(3, 2) = y.z; m.at(3, 3) = z.z;
  m.at(4, 1) = -glm::dot(x, eye);
  m.at(4, 2) = -glm::dot(y, eye);
  m.at(4, 3) = -glm::dot(z, eye);
  return m;
}

Matrix Matrix::Transformation2D(const Vec2& sc, const Vec2& scaling, const Vec2& rc, float rotation,
                                const Vec2& translation) {
  Matrix m = Translation(-sc.x, -sc.y, 0.0f) * Scaling(scaling.x, scaling.y, 1.0f) * Translation(sc.x, sc.y, 0.0f);
  m = m * Translation(-rc.x, -rc.y, 0.0f) * RotationZ(rotation) * Translation(rc.x, rc.y, 0.0f);
  return m * Translation(translation.x, translation.y, 0.0f);
}

Vec4 Transform(const Vec4& v, const Matrix& m) { return m.g * v; }

Vec3 TransformCoord(const Vec3& v, const Matrix& m) {
  Vec4 r = m.g * Vec4(v, 1.0f);
  return r.w != 0.0f ? Vec3(r) / r.w : Vec3(r);
}

Vec3 TransformNormal(const Vec3& v, const Matrix& m) { return Vec3(m.g * Vec4(v, 0.0f)); }

Vec4 ArgbToColor(uint32_t c) {
  return Vec4(float((c >> 16) & 0xFF) / 255.0f, float((c >> 8) & 0xFF) / 255.0f, float(c & 0xFF) / 255.0f,
              float((c >> 24) & 0xFF) / 255.0f);
}

uint32_t ColorToArgb(const Vec4& c) {
  auto byte = [](float f) { return uint32_t(std::lround(std::clamp(f, 0.0f, 1.0f) * 255.0f)); };
  return Argb(byte(c.a), byte(c.r), byte(c.g), byte(c.b));
}

}  // namespace platform::gfx
