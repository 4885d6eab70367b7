// Matrix and vector maths of the renderer in the left-handed, row-vector form the
// drawing code is written in: a point is a row vector multiplied on the left, so
// A * B applies A first, translation sits in the fourth row (_41, _42, _43) and a
// 2D texture scroll in the third row (_31, _32). Stored in a glm::mat4 whose columns
// are our rows, which makes the memory layout identical to a column-vector glm
// matrix of the same transform (glm::translate(...) * glm::rotate(...) and our
// Rotation(...) * Translation(...) hold the same sixteen floats).
#pragma once

#include <cstdint>

#include <glm/glm.hpp>

namespace platform::gfx {

using Vec2 = glm::vec2;
using Vec3 = glm::vec3;
using Vec4 = glm::vec4;

struct Matrix {
  glm::mat4 g{1.0f};  // g[r][c] is element _(r+1)(c+1)

  Matrix() = default;
  explicit Matrix(const glm::mat4& m) : g(m) {}

  float& at(int row, int col) { return g[row - 1][col - 1]; }  // 1-based, as _rc
  float at(int row, int col) const { return g[row - 1][col - 1]; }
  const float* data() const { return &g[0][0]; }  // 16 floats, row by row

  // this, then rhs.
  Matrix operator*(const Matrix& rhs) const { return Matrix(rhs.g * g); }
  bool operator==(const Matrix& rhs) const { return g == rhs.g; }

  static Matrix Identity() { return Matrix(); }
  static Matrix Scaling(float x, float y, float z);
  static Matrix Translation(float x, float y, float z);
  static Matrix Scaling(const Vec3& s) { return Scaling(s.x, s.y, s.z); }
  static Matrix Translation(const Vec3& t) { return Translation(t.x, t.y, t.z); }
  // Left-handed rotations: positive angles turn clockwise looking along the axis
  // towards the origin, as Direct3D's do.
  static Matrix RotationX(float radians);
  static Matrix RotationY(float radians);
  static Matrix RotationZ(float radians);
  static Matrix RotationAxis(const Vec3& axis, float radians);
  // Vertical field of view fovY, depth mapped to 0..1 (the device maps it to GL).
  static Matrix PerspectiveFovLH(float fovY, float aspect, float zNear, float zFar);
  static Matrix OrthoOffCenterLH(float left, float right, float bottom, float top, float zNear, float zFar);
  static Matrix LookAtLH(const Vec3& eye, const Vec3& at, const Vec3& up);
  // The 2D affine transform of the sprite: scale about scalingCentre (no scaling
  // rotation), rotate about rotationCentre, then translate.
  static Matrix Transformation2D(const Vec2& scalingCentre, const Vec2& scaling, const Vec2& rotationCentre,
                                 float rotation, const Vec2& translation);
  Matrix Inverse() const { return Matrix(glm::inverse(g)); }
  Matrix Transposed() const { return Matrix(glm::transpose(g)); }
};

// (x, y, z, 1) * m, divided by w.
Vec3 TransformCoord(const Vec3& v, const Matrix& m);
// (x, y, z, 0) * m.
Vec3 TransformNormal(const Vec3& v, const Matrix& m);
Vec4 Transform(const Vec4& v, const Matrix& m);

// 32-bit ARGB colour words as the drawing code passes them.
constexpr uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
  return ((a & 0xFF) << 24) | ((r & 0xFF) << 16) | ((g & 0xFF) << 8) | (b & 0xFF);
}
Vec4 ArgbToColor(uint32_t argb);  // (r, g, b, a) in 0..1
uint32_t ColorToArgb(const Vec4& rgba);

}  // namespace platform::gfx
