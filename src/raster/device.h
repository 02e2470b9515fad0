#pragma once
// The words of device space that the canvas and the thin-stroke rasteriser
// share: points, the affine transform of device points and the dash styles.
#include <cmath>

namespace zumen {

struct FPoint {
  float X = 0;
  float Y = 0;
  friend bool operator==(const FPoint&, const FPoint&) = default;
};

enum class DashStyle { Solid, Dash, Dot, DashDot, DashDotDot };

// Affine transform of device points: x' = m11·x + m21·y + dx, y' = m12·x + m22·y + dy.
struct Matrix {
  double m11 = 1, m12 = 0, m21 = 0, m22 = 1, dx = 0, dy = 0;

  static Matrix Translate(double x, double y) { return {1, 0, 0, 1, x, y}; }
  static Matrix Scale(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
  // Rotation by a radians in device space (y downwards: positive a turns clockwise on screen).
  static Matrix Rotate(double a) {
    const double c = std::cos(a), s = std::sin(a);
    return {c, s, -s, c, 0, 0};
  }
  // The transform that applies this one first and then b.
  Matrix Then(const Matrix& b) const {
    return {m11 * b.m11 + m12 * b.m21, m11 * b.m12 + m12 * b.m22,
            m21 * b.m11 + m22 * b.m21, m21 * b.m12 + m22 * b.m22,
            dx * b.m11 + dy * b.m21 + b.dx, dx * b.m12 + dy * b.m22 + b.dy};
  }
  void Apply(double x, double y, double& ox, double& oy) const {
    ox = m11 * x + m21 * y + dx;
    oy = m12 * x + m22 * y + dy;
  }
  friend bool operator==(const Matrix&, const Matrix&) = default;
};

}  // namespace zumen
