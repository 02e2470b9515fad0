#pragma once
// Bringing the attribute model in line with a drawing's own pens and line
// types after it has been read.
#include <cstdint>

#include "attributes/graattribute.h"

namespace zumen {

class TJwwData;

// Copies the JWW file's print pens (colours, widths, point radii) and its
// background choice into the model.
void JwwFileColorSet(const TJwwData& jw, TgraAttribute& att);
// Copies the JWW file's standard, random, double-length and user line types.
void JwwFileLtypeSet(const TJwwData& jw, TgraAttribute& att);

class TJwsData;

// Copies the drawing's layer states, scales and names into the model: a group
// of state 0 hides its layers, state 1 makes every visible layer display-only;
// otherwise a layer of state 0 is hidden, 1 display-only and any other normal.
void JwwSetGAttLayer(const TJwwData& d, TgraAttribute& att);
// Every layer of a symbol is normal; only the group scales come from the file.
void JwsSetGAttLayer(const TJwsData& d, TgraAttribute& att);

// The drawn and gap elements of a 32-bit run pattern, from bit 31 down, each
// run of equal bits one element of bits × step (negative for gaps).
int PatternRuns(uint32_t pattern, double step, double (&out)[32]);

}  // namespace zumen
