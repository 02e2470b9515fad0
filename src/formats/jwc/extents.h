#pragma once
// Extents of JWC drawings and JWK symbols: ends of lines and texts, points,
// virtual points and the extreme points of every arc.
#include <cstdint>
#include <span>

#include "attributes/graattribute.h"
#include "common/box.h"
#include "formats/jwc/records.h"

namespace zumen {

struct JwcExtentInput {
  std::span<const TEntJwcLine> lines;
  std::span<const TEntJwcArc2> arcs;
  std::span<const TEntJwcMoji2> mojis;
  std::span<const TEntJwcTen> tens;
  std::span<const TEntJwcVten> vtens;  // the virtual points to measure
};

// Widens box over the entities, each point divided by scale. With start the
// box first restarts at the first point of the first non-empty kind (lines,
// arc centres, texts, points, virtual points); with nothing to measure it is
// left as it was.
void JwcWidenExtents(ExtentBox& box, bool start, const JwcExtentInput& in, double scale);

// Widens box over one arc: its end points and the quarter points of the
// ellipse that the sweep passes.
void JwcWidenArc(ExtentBox& box, const TEntJwcArc2& e, double scale);

// Hands the box of every entity that a picture shows (layer not hidden, not
// an auxiliary line) to survey, entity by entity (scale 1).
void JwcSurveyEntities(const JwcExtentInput& in, const TgraAttribute& att, EntitySurvey& survey);

}  // namespace zumen
