// geometry: the vector and matrix of the 3D object.
//
// Components are stored as 32-bit floats; every operation computes in double
// precision and rounds to float only when it stores a component, so results
// are the same bits on every machine (the build forbids fused multiply-add).
// The operations are inline: they sit in the per-slot and per-triangle loops.
#pragma once

#include <cmath>

struct vec3 {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
};

// Three rows of (m_r0, m_r1, m_r2, t_r), row-major.
struct mat34 {
  float m[3][4] = {};
};

inline vec3 operator-(const vec3& a, const vec3& b) {
  return {static_cast<float>(static_cast<double>(a.x) - b.x), static_cast<float>(static_cast<double>(a.y) - b.y),
          static_cast<float>(static_cast<double>(a.z) - b.z)};
}

inline vec3 cross(const vec3& a, const vec3& b) {
  const double ax = a.x, ay = a.y, az = a.z;
  return {static_cast<float>(ay * b.z - az * b.y), static_cast<float>(az * b.x - ax * b.z),
          static_cast<float>(ax * b.y - ay * b.x)};
}

// Scales v to unit length: each component times 1 / length. A zero vector
// stays (0, 0, 0).
inline void normalise(vec3& v) {
  const double x = v.x, y = v.y, z = v.z;
  const double length = std::sqrt(x * x + y * y + z * z);
  if (length == 0.0) {
    v = vec3{};
    return;
  }
  const double inverse = 1.0 / length;
  v = vec3{static_cast<float>(x * inverse), static_cast<float>(y * inverse), static_cast<float>(z * inverse)};
}

// Row r of the result is (m_r2 p.z + m_r1 p.y) + m_r0 p.x + t_r, summed in
// that order.
inline vec3 transform(const mat34& m, const vec3& p) {
  const double x = p.x, y = p.y, z = p.z;
  auto row = [&](const float* c) { return static_cast<float>((c[2] * z + c[1] * y) + c[0] * x + c[3]); };
  return {row(m.m[0]), row(m.m[1]), row(m.m[2])};
}

constexpr mat34 mat34_identity() {
  mat34 m;
  m.m[0][0] = m.m[1][1] = m.m[2][2] = 1.0f;
  return m;
}
