#pragma once
// Extent boxes: the smallest axis-parallel box around a set of points, each
// point divided by a scale first. Every update clamps each side of the box to
// +-1e8 (a NaN minimum to -1e8, a NaN maximum to 1e8) so that wild
// coordinates cannot blow up the output sizing.

#include <cstdint>

namespace zumen {

struct ExtentBox {
  double minx = 0;
  double miny = 0;
  double maxx = 0;
  double maxy = 0;
};

// Limit of every side of a box.
inline constexpr double kBoxLimit = 100000000.0;

// The box of the single point (x / s, y / s).
void BoxStart(ExtentBox& b, double x, double y, double s);

// Widens the box to contain (x / s, y / s).
void BoxAdd(ExtentBox& b, double x, double y, double s);

// Widens the box to contain the block-transformed point
// ((bx + b1 x + b2 y) / s, (by + b3 x + b4 y) / s).
void BoxAddT(ExtentBox& b, double x, double y, double bx, double by, double b1, double b2, double b3, double b4,
             double s);

// Whether the box lies wholly outside the zone (shares not even an edge with it).
bool BoxOutside(const ExtentBox& b, const ExtentBox& zone);

// The boxes of a drawing's entities taken one by one: Begin an entity, Add
// its points, End it. Gives the box around them all and the number of
// entities whose boxes lie wholly outside a zone. Points that are not finite
// numbers are not drawn and do not count.
class EntitySurvey {
 public:
  explicit EntitySurvey(const ExtentBox& zone) : zone_(zone) {}
  void Begin() { started_ = false; }
  void Add(double x, double y);
  void End();
  // Whether any entity had a point, and the box around them all.
  bool any() const { return any_; }
  const ExtentBox& box() const { return all_; }
  int64_t outside() const { return outside_; }

 private:
  ExtentBox zone_;
  ExtentBox one_, all_;
  bool started_ = false, any_ = false;
  int64_t outside_ = 0;
};

}  // namespace zumen
