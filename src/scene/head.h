#pragma once
// What every item of a scene has.
#include <cstdint>

namespace zumen::scene {

// Item flags.
enum : uint8_t {
  kAux = 1,            // auxiliary: shown only when the picture shows auxiliary lines
  kDimensionPart = 2,  // one of the parts a dimension is drawn from
  kNotDrawn = 4,       // kept for the structure (DXF, queries), never painted
};

// What every item has: the layer that decides whether it is shown (0..255;
// -1 for an entity on a layer the model does not have, which is never
// shown), its flags, and the entity it came from (the index in its family's
// list of that kind, kind as the family numbers its lists).
struct Head {
  int16_t layer = 0;
  uint8_t flags = 0;
  uint8_t sourceKind = 0;
  int32_t source = -1;
  // The dimension (index into Scene::dimensions) the item is a part of; -1.
  int32_t dimension = -1;
};

}  // namespace zumen::scene
