// The solids of the model kit. Every face is emitted through one helper that orders
// its corners by the outward direction it is given, so no builder has to reason
// about winding.
#include "content/models/mesh_kit.h"

#include <glm/gtc/matrix_inverse.hpp>

#include <cmath>

namespace models {

namespace {

constexpr float kBoardRadius = 1000.0f;

uint32_t PushVertex(Mesh& mesh, const glm::vec3& p, const glm::vec3& n, const glm::vec2& uv) {
  Vertex v;
  v.position = p;
  v.normal = n;
  v.uv = uv;
  mesh.vertices.push_back(v);
  return static_cast<uint32_t>(mesh.vertices.size() - 1);
}

// One triangle of existing vertices, wound so that its face normal agrees with
// `outward`. Triangles of no area are dropped.
void PushTriangle(Mesh& mesh, uint32_t material, uint32_t a, uint32_t b, uint32_t c, const glm::vec3& outward) {
  const glm::vec3& pa = mesh.vertices[a].position;
  const glm::vec3 n = glm::cross(mesh.vertices[b].position - pa, mesh.vertices[c].position - pa);
  if (glm::dot(n, n) < 1e-12f) return;
  if (glm::dot(n, outward) >= 0.0f) {
    mesh.triangles.push_back({{a, b, c}, material});
  } else {
    mesh.triangles.push_back({{a, c, b}, material});
  }
}

// A flat convex polygon with one normal; the hint picks which of its two sides is
// the front.
void AddFace(Mesh& mesh, uint32_t material, const std::vector<glm::vec3>& points, const std::vector<glm::vec2>& uvs,
             const glm::vec3& hint) {
  glm::vec3 n(0.0f);
  for (size_t i = 0; i < points.size(); ++i) {  // Newell's normal
    const glm::vec3& p = points[i];
    const glm::vec3& q = points[(i + 1) % points.size()];
    n.x += (p.y - q.y) * (p.z + q.z);
    n.y += (p.z - q.z) * (p.x + q.x);
    n.z += (p.x - q.x) * (p.y + q.y);
  }
  if (glm::dot(n, n) < 1e-12f) return;
  n = glm::normalize(n);
  if (glm::dot(n, hint) < 0.0f) n = -n;
  std::vector<uint32_t> ids;
  for (size_t i = 0; i < points.size(); ++i) ids.push_back(PushVertex(mesh, points[i], n, uvs[i]));
  for (size_t i = 1; i + 1 < ids.size(); ++i) PushTriangle(mesh, material, ids[0], ids[i], ids[i + 1], n);
}

float SignedArea(const std::vector<glm::vec2>& poly) {
  float area = 0.0f;
  for (size_t i = 0; i < poly.size(); ++i) {
    const glm::vec2& p = poly[i];
    const glm::vec2& q = poly[(i + 1) % poly.size()];
    area += p.x * q.y - q.x * p.y;
  }
  return area * 0.5f;
}

float Cross2(const glm::vec2& a, const glm::vec2& b, const glm::vec2& c) {
  return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

bool InsideTriangle(const glm::vec2& p, const glm::vec2& a, const glm::vec2& b, const glm::vec2& c) {
  return Cross2(a, b, p) >= 0.0f && Cross2(b, c, p) >= 0.0f && Cross2(c, a, p) >= 0.0f;
}

// Ear clipping of a simple polygon given counter-clockwise; returns index triples.
std::vector<std::array<size_t, 3>> Triangulate(const std::vector<glm::vec2>& poly) {
  std::vector<std::array<size_t, 3>> out;
  std::vector<size_t> left;
  for (size_t i = 0; i < poly.size(); ++i) left.push_back(i);
  size_t guard = 0;
  while (left.size() > 3 && guard < poly.size() * poly.size()) {
    ++guard;
    bool clipped = false;
    for (size_t i = 0; i < left.size(); ++i) {
      const size_t ia = left[(i + left.size() - 1) % left.size()];
      const size_t ib = left[i];
      const size_t ic = left[(i + 1) % left.size()];
      if (Cross2(poly[ia], poly[ib], poly[ic]) <= 0.0f) continue;  // reflex corner
      bool ear = true;
      for (size_t k : left) {
        if (k == ia || k == ib || k == ic) continue;
        if (InsideTriangle(poly[k], poly[ia], poly[ib], poly[ic])) {
          ear = false;
          break;
        }
      }
      if (!ear) continue;
      out.push_back({ia, ib, ic});
      left.erase(left.begin() + static_cast<long>(i));
      clipped = true;
      break;
    }
    if (!clipped) break;
  }
  if (left.size() == 3) out.push_back({left[0], left[1], left[2]});
  return out;
}

std::vector<glm::vec2> CounterClockwise(std::vector<glm::vec2> poly) {
  if (SignedArea(poly) < 0.0f) std::reverse(poly.begin(), poly.end());
  return poly;
}

// The outline moved inwards by `distance` (mitred corners).
std::vector<glm::vec2> Inset(const std::vector<glm::vec2>& poly, float distance) {
  std::vector<glm::vec2> out;
  const size_t n = poly.size();
  for (size_t i = 0; i < n; ++i) {
    const glm::vec2& prev = poly[(i + n - 1) % n];
    const glm::vec2& p = poly[i];
    const glm::vec2& next = poly[(i + 1) % n];
    const glm::vec2 d1 = glm::normalize(p - prev);
    const glm::vec2 d2 = glm::normalize(next - p);
    const glm::vec2 o1(d1.y, -d1.x);  // outward of a counter-clockwise outline
    const glm::vec2 o2(d2.y, -d2.x);
    const float denom = std::max(0.2f, 1.0f + glm::dot(o1, o2));
    out.push_back(p - distance * (o1 + o2) / denom);
  }
  return out;
}

}  // namespace

UvMap TopDownUv(float size) {
  return [size](const glm::vec3& p) { return glm::vec2(p.x / size + 0.5f, 0.5f - p.z / size); };
}

UvMap FrontUv(float width, float height, float bottom) {
  return [=](const glm::vec3& p) { return glm::vec2(p.x / width + 0.5f, 1.0f - (p.y - bottom) / height); };
}

void Mesh::Append(const Mesh& other, const glm::mat4& transform) {
  const uint32_t base = static_cast<uint32_t>(vertices.size());
  const glm::mat3 normal_matrix = glm::inverseTranspose(glm::mat3(transform));
  for (Vertex v : other.vertices) {
    v.position = glm::vec3(transform * glm::vec4(v.position, 1.0f));
    v.normal = glm::normalize(normal_matrix * v.normal);
    vertices.push_back(v);
  }
  // A mirroring transform turns faces inside out; swap two corners to keep them out.
  const bool mirrored = glm::determinant(glm::mat3(transform)) < 0.0f;
  for (Triangle t : other.triangles) {
    for (uint32_t& i : t.index) i += base;
    if (mirrored) std::swap(t.index[1], t.index[2]);
    triangles.push_back(t);
  }
}

void Mesh::MapSecondUv(const std::function<glm::vec2(const glm::vec3&)>& map) {
  for (Vertex& v : vertices) v.uv2 = map(v.position);
}

void AddQuad(Mesh& mesh, uint32_t material, const glm::vec3& a, const glm::vec3& b, const glm::vec3& c,
             const glm::vec3& d, const std::array<glm::vec2, 4>& uv) {
  const glm::vec3 hint = glm::cross(b - a, c - a);
  AddFace(mesh, material, {a, b, c, d}, {uv[0], uv[1], uv[2], uv[3]}, hint);
}

void AddFlatPolygon(Mesh& mesh, uint32_t material, const std::vector<glm::vec2>& outline_xz, float y, bool up,
                    const UvMap& uv) {
  const std::vector<glm::vec2> poly = CounterClockwise(outline_xz);
  const glm::vec3 n(0.0f, up ? 1.0f : -1.0f, 0.0f);
  std::vector<uint32_t> ids;
  for (const glm::vec2& p : poly) {
    const glm::vec3 pos(p.x, y, p.y);
    ids.push_back(PushVertex(mesh, pos, n, uv(pos)));
  }
  for (const auto& t : Triangulate(poly)) PushTriangle(mesh, material, ids[t[0]], ids[t[1]], ids[t[2]], n);
}

void AddBox(Mesh& mesh, uint32_t material, const glm::vec3& lo, const glm::vec3& hi) {
  const glm::vec3 s = hi - lo;
  auto face = [&](const glm::vec3& a, const glm::vec3& b, const glm::vec3& c, const glm::vec3& d,
                  const glm::vec3& n) {
    AddFace(mesh, material, {a, b, c, d},
            {glm::vec2(0.0f, 1.0f), glm::vec2(1.0f, 1.0f), glm::vec2(1.0f, 0.0f), glm::vec2(0.0f, 0.0f)}, n);
  };
  const glm::vec3 p000 = lo, p100 = lo + glm::vec3(s.x, 0, 0), p010 = lo + glm::vec3(0, s.y, 0),
                  p001 = lo + glm::vec3(0, 0, s.z), p110 = lo + glm::vec3(s.x, s.y, 0),
                  p101 = lo + glm::vec3(s.x, 0, s.z), p011 = lo + glm::vec3(0, s.y, s.z), p111 = hi;
  face(p000, p100, p110, p010, {0, 0, -1});  // front (towards the player)
  face(p101, p001, p011, p111, {0, 0, 1});
  face(p001, p000, p010, p011, {-1, 0, 0});
  face(p100, p101, p111, p110, {1, 0, 0});
  face(p010, p110, p111, p011, {0, 1, 0});
  face(p001, p101, p100, p000, {0, -1, 0});
}

void AddLathe(Mesh& mesh, uint32_t material, const std::vector<ProfilePoint>& profile, int segments,
              const UvMap& uv, float start, float sweep) {
  for (size_t s = 0; s + 1 < profile.size(); ++s) {
    const ProfilePoint p0 = profile[s];
    const ProfilePoint p1 = profile[s + 1];
    const float dr = p1.radius - p0.radius;
    const float dh = p1.height - p0.height;
    const float len = std::sqrt(dr * dr + dh * dh);
    if (len < 1e-6f) continue;
    const float nr = dh / len;   // outward in the profile plane
    const float nh = -dr / len;
    for (int j = 0; j < segments; ++j) {
      const float t0 = start + sweep * static_cast<float>(j) / static_cast<float>(segments);
      const float t1 = start + sweep * static_cast<float>(j + 1) / static_cast<float>(segments);
      auto at = [](const ProfilePoint& p, float t) {
        return glm::vec3(p.radius * std::cos(t), p.height, p.radius * std::sin(t));
      };
      auto normal = [&](float t) { return glm::normalize(glm::vec3(nr * std::cos(t), nh, nr * std::sin(t))); };
      const glm::vec3 a = at(p0, t0), b = at(p0, t1), c = at(p1, t1), d = at(p1, t0);
      const uint32_t ia = PushVertex(mesh, a, normal(t0), uv(a));
      const uint32_t ib = PushVertex(mesh, b, normal(t1), uv(b));
      const uint32_t ic = PushVertex(mesh, c, normal(t1), uv(c));
      const uint32_t id = PushVertex(mesh, d, normal(t0), uv(d));
      const glm::vec3 out = normal(0.5f * (t0 + t1));
      PushTriangle(mesh, material, ia, ib, ic, out);
      PushTriangle(mesh, material, ia, ic, id, out);
    }
  }
}

void AddBevelledCylinder(Mesh& mesh, uint32_t material, float radius, float y0, float y1, float bevel, int segments,
                         const UvMap& uv) {
  AddLathe(mesh, material,
           {{0.0f, y0}, {radius, y0}, {radius, y1 - bevel}, {radius - bevel, y1}, {0.0f, y1}}, segments, uv);
}

void AddRing(Mesh& mesh, uint32_t material, float inner, float outer, float y0, float y1, int segments,
             const UvMap& uv) {
  AddLathe(mesh, material, {{inner, y0}, {outer, y0}, {outer, y1}, {inner, y1}, {inner, y0}}, segments, uv);
}

void AddExtrusion(Mesh& mesh, uint32_t material, const std::vector<glm::vec2>& outline_xz, float y0, float y1,
                  float bevel, const UvMap& uv) {
  const std::vector<glm::vec2> poly = CounterClockwise(outline_xz);
  const std::vector<glm::vec2> top = bevel > 0.0f ? Inset(poly, bevel) : poly;
  const float wall_top = y1 - bevel;
  const size_t n = poly.size();
  for (size_t i = 0; i < n; ++i) {
    const glm::vec2& p = poly[i];
    const glm::vec2& q = poly[(i + 1) % n];
    const glm::vec2 d = glm::normalize(q - p);
    const glm::vec3 out(d.y, 0.0f, -d.x);
    const glm::vec3 a(p.x, y0, p.y), b(q.x, y0, q.y), c(q.x, wall_top, q.y), e(p.x, wall_top, p.y);
    AddFace(mesh, material, {a, b, c, e}, {uv(a), uv(b), uv(c), uv(e)}, out);
    if (bevel > 0.0f) {
      const glm::vec2& tp = top[i];
      const glm::vec2& tq = top[(i + 1) % n];
      const glm::vec3 f(tq.x, y1, tq.y), g(tp.x, y1, tp.y);
      AddFace(mesh, material, {e, c, f, g}, {uv(e), uv(c), uv(f), uv(g)}, out + glm::vec3(0.0f, 1.0f, 0.0f));
    }
  }
  AddFlatPolygon(mesh, material, top, y1, true, uv);
  AddFlatPolygon(mesh, material, poly, y0, false, uv);
}

float ArcAngleOfX(float x) { return std::asin(std::clamp(x / kBoardRadius, -1.0f, 1.0f)); }

glm::vec3 OnBoardArc(float angle, float lift, float z) {
  const float r = kBoardRadius + lift;
  return glm::vec3(r * std::sin(angle), r * std::cos(angle) - kBoardRadius, z);
}

void AddArcStrip(Mesh& mesh, uint32_t material, float x0, float x1, float z0, float z1, float lift, int columns,
                 int rows, const UvMap& uv) {
  std::vector<uint32_t> ids;
  for (int r = 0; r <= rows; ++r) {
    const float z = z0 + (z1 - z0) * static_cast<float>(r) / static_cast<float>(rows);
    for (int c = 0; c <= columns; ++c) {
      const float x = x0 + (x1 - x0) * static_cast<float>(c) / static_cast<float>(columns);
      const float a = ArcAngleOfX(x);
      const glm::vec3 n(std::sin(a), std::cos(a), 0.0f);
      ids.push_back(PushVertex(mesh, OnBoardArc(a, lift, z), n, uv(glm::vec3(x, 0.0f, z))));
    }
  }
  const int w = columns + 1;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      const uint32_t a = ids[static_cast<size_t>(r * w + c)], b = ids[static_cast<size_t>(r * w + c + 1)];
      const uint32_t d = ids[static_cast<size_t>((r + 1) * w + c)], e = ids[static_cast<size_t>((r + 1) * w + c + 1)];
      const glm::vec3 up = mesh.vertices[a].normal;
      PushTriangle(mesh, material, a, b, e, up);
      PushTriangle(mesh, material, a, e, d, up);
    }
  }
}

void AddArcBar(Mesh& mesh, uint32_t material, float x0, float x1, float z0, float z1, float lift, float height,
               int columns, const UvMap& uv) {
  AddArcStrip(mesh, material, x0, x1, z0, z1, lift + height, columns, 1, uv);
  for (int c = 0; c < columns; ++c) {
    const float xa = x0 + (x1 - x0) * static_cast<float>(c) / static_cast<float>(columns);
    const float xb = x0 + (x1 - x0) * static_cast<float>(c + 1) / static_cast<float>(columns);
    const float aa = ArcAngleOfX(xa), ab = ArcAngleOfX(xb);
    for (float z : {z0, z1}) {
      const glm::vec3 p = OnBoardArc(aa, lift, z), q = OnBoardArc(ab, lift, z);
      const glm::vec3 r = OnBoardArc(ab, lift + height, z), s = OnBoardArc(aa, lift + height, z);
      const glm::vec3 out(0.0f, 0.0f, z == z0 ? -1.0f : 1.0f);
      AddFace(mesh, material, {p, q, r, s}, {uv(p), uv(q), uv(r), uv(s)}, out);
    }
  }
  for (float x : {x0, x1}) {
    const float a = ArcAngleOfX(x);
    const glm::vec3 p = OnBoardArc(a, lift, z0), q = OnBoardArc(a, lift, z1);
    const glm::vec3 r = OnBoardArc(a, lift + height, z1), s = OnBoardArc(a, lift + height, z0);
    const glm::vec3 out = (x == x0 ? -1.0f : 1.0f) * glm::vec3(std::cos(a), -std::sin(a), 0.0f);
    AddFace(mesh, material, {p, q, r, s}, {uv(p), uv(q), uv(r), uv(s)}, out);
  }
}

void AddUprightPlane(Mesh& mesh, uint32_t material, float width, float y0, float y1, float z) {
  const float h = width * 0.5f;
  AddFace(mesh, material, {{-h, y0, z}, {h, y0, z}, {h, y1, z}, {-h, y1, z}},
          {glm::vec2(0.0f, 1.0f), glm::vec2(1.0f, 1.0f), glm::vec2(1.0f, 0.0f), glm::vec2(0.0f, 0.0f)},
          {0.0f, 0.0f, -1.0f});
}

std::vector<glm::vec2> StarOutline(int points, float outer, float inner, float phase) {
  std::vector<glm::vec2> out;
  const int corners = inner > 0.0f ? points * 2 : points;
  for (int i = 0; i < corners; ++i) {
    const float t = phase + 6.2831853f * static_cast<float>(i) / static_cast<float>(corners);
    const float r = (inner > 0.0f && (i % 2) == 1) ? inner : outer;
    out.emplace_back(r * std::cos(t), r * std::sin(t));
  }
  return out;
}

std::vector<glm::vec2> RoundedRectOutline(float half_x, float half_z, float corner, int corner_segments) {
  std::vector<glm::vec2> out;
  const glm::vec2 centres[4] = {{half_x - corner, half_z - corner},
                                {-half_x + corner, half_z - corner},
                                {-half_x + corner, -half_z + corner},
                                {half_x - corner, -half_z + corner}};
  for (int k = 0; k < 4; ++k) {
    for (int i = 0; i <= corner_segments; ++i) {
      const float t = 1.5707963f * (static_cast<float>(k) + static_cast<float>(i) / static_cast<float>(corner_segments));
      out.emplace_back(centres[k].x + corner * std::cos(t), centres[k].y + corner * std::sin(t));
    }
  }
  return out;
}

}  // namespace models
