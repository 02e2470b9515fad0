#pragma once
// Image texts: a text beginning with "^@BM" and holding a comma names an image
// file and its placement, "^@BM<file>,W,H,X,Y,R,A". Up to two numbers make the
// short form (W, and H = W when missing), more the long form with the crop
// offsets X, Y, the crop ratio R and the angle A in degrees.
#include <string>
#include <string_view>

namespace zumen {

struct JwImageText {
  std::u16string file;  // as written, "%temp%" not yet resolved
  double W = 0, H = 0, X = 0, Y = 0, R = 1.0, A = 0;
  int count = 0;  // numbers written after the file name (at most six are used)
  bool LongForm() const { return count > 2; }
};

// True when s begins with "^@BM" (a drawn text then also needs a comma to be
// an image reference).
bool HasImagePrefix(std::u16string_view s);
// True when s begins with "^@BM" and contains a comma.
bool IsImageText(std::u16string_view s);

// The reference in s; false when s is not an image text. Numbers that do not
// parse count as 0.
bool ParseImageText(std::u16string_view s, JwImageText& out);

// The name of an image: a leading "%temp%" names one of the drawing's own,
// of which only the last component of what follows is kept (the name the
// drawing's images go by, see TJwwData::EmbeddedImages); any other name is
// a file's, as written.
std::u16string ResolveImageFile(std::u16string_view file);

}  // namespace zumen
