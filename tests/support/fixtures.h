#pragma once
// Drawings holding every kind of entity of each family, laid out over their
// paper: for tests that walk all kinds, and for comparing the outputs of two
// builds (bench/tools/make_fixtures writes them to files).
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace zumen::test {

class K4Writer;

// Every K4 object kind, each in its own 10 x 10 cell counted from the paper's
// lower-left corner; answers the cells used.
std::set<std::pair<int, int>> WriteK4EveryKind(K4Writer& w);

// A named fixture drawing: its file name (with the family's extension) and
// its bytes.
struct Fixture {
  std::string name;
  std::vector<uint8_t> bytes;
};

// One drawing of every kind per family: JWW (lines of every type and pen,
// arcs and ellipses, points and coded markers, texts horizontal, vertical,
// spaced and with macros, dimensions, solids and arc solids, nested,
// rotated and mirrored blocks, an embedded image, layers of every state),
// JWS, JWC, JWK and K4.
std::vector<Fixture> EveryKindFixtures();

}  // namespace zumen::test
